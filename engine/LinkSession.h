#pragma once

#include <juce_core/juce_core.h>
#include <atomic>
#include <memory>

/**
    Tocksley's part in an Ableton Link session: the tempo and the beat timeline
    shared with the other Link programs on the network, and, where the
    musician wants it, their START and STOP.

    Threads: the message thread switches it on and off, reads the session and
    asks for changes (a tempo, a start or a stop). The audio thread carries the
    changes out at its next block, in the session state it captures there, and
    reads where the session's beats fall in that block. While no block has been
    processed for a while (no device), the message thread carries its changes
    out itself, so that the session hears them all the same.
*/
class LinkSession
{
public:
    explicit LinkSession (double initialBpm);
    ~LinkSession();

    //==============================================================================
    // Message thread

    /** Joining brings the session's tempo and beat here; alone, the session takes the tempo given. */
    void join (double bpmIfAlone);
    void leave();
    bool isJoined() const;

    void setStartStopSync (bool shouldSync);
    bool isStartStopSyncOn() const noexcept     { return startStopSync; }

    int getNumPeers() const;

    /** The session's tempo, or the one asked for that is not yet committed. */
    double getTempo() const;

    /** Whether the session plays, or what was asked for and is not yet committed. */
    bool isPlaying() const;

    void requestTempo (double bpm) noexcept;
    void requestPlaying (bool shouldPlay) noexcept;

    /** Commits the requests from the message thread when no audio block has taken them lately. */
    void commitRequestsIfAudioIdle();

    //==============================================================================
    // Audio thread

    /** Where the session's beats fall in one block, at the moment its samples are heard. */
    struct Block
    {
        double beatAtStart = 0.0;       // the session's beat at the block's first sample
        double beatsPerSample = 0.0;
        double tempo = 120.0;
        bool playing = false;
    };

    /** Restarts the mapping of the device's sample count to the session's clock. */
    void prepare (double sampleRate) noexcept;

    /** Commits the pending requests and reads the timeline for the next block.
        outputLatency is how many samples after its rendering a block is heard.
        With launchFromTheTop the session's beat 0 is set to fall at the block's
        start or, where peers share the session, at its next bar (quantum beats),
        which is where clicks from the top begin without disturbing the peers. */
    Block beginBlock (int numSamples, double quantum, int outputLatency, bool launchFromTheTop) noexcept;

private:
    void noteCommitted (double tempo, int playing) noexcept;

    // Link's own classes stay out of this header: they pull in a network library.
    struct Instance;
    std::unique_ptr<Instance> instance;

    std::atomic<bool> startStopSync { false };
    std::atomic<double> requestedTempo { 0.0 };     // 0: none
    std::atomic<int> requestedPlaying { noRequest };
    std::atomic<juce::uint32> lastBlockTime { 0 };

    // What was committed last and when: Link shows it to the message thread a moment later.
    std::atomic<double> committedTempo { 0.0 };
    std::atomic<int> committedPlaying { noRequest };
    std::atomic<juce::uint32> lastCommitTime { 0 };
    double sampleRate = 48000.0;
    double sampleTime = 0.0;

    static constexpr int noRequest = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LinkSession)
};
