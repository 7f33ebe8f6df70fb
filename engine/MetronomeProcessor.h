#pragma once

#include "BarPlanner.h"
#include "BeatAligner.h"
#include "BeatClock.h"
#include "LinkBeatClock.h"
#include "PresetFile.h"
#include "ResampledAudioFormatReaderSource.h"
#include "TapTempo.h"
#include "TempoDetector.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <array>
#include <atomic>
#include <functional>
#include <optional>

/**
    The metronome engine: holds the musical state, renders the click track into
    the audio output and keeps the presets.

    The panel drives it through eleven numbered parameters that carry plain
    musical values (120 for 120 BPM, 4 for four beats, 1 for "on"):

        0 "bpm"  1 "beatsPerBarIndex"  2 "beatsValueIndex"  3 tap  4 "subDivIndex"
        5 "accent"  6 "listen"  7 "gain"  8 "mute"  9 "start"  10 "sound"

    Every value is accepted; values the panel never sends (NaN, a tempo of 0,
    an index outside its table) are clamped to the nearest meaningful setting.

    Beyond the parameters, the practice features (accent pattern, count-in,
    speed trainer, gap click) and the musician's own click sounds are set
    directly; they are stored with the presets.

    Threads: parameters are set on the message thread; processBlock runs on the
    audio thread under the callback lock that the player holds. Values the audio
    thread reads are atomics; the click sources and the practice settings are
    exchanged under the callback lock, and old sources freed after it is released.
*/
class MetronomeProcessor : public juce::AudioProcessor
{
public:
    enum ParameterIndex
    {
        bpmParameter = 0,
        beatsPerBarParameter,
        beatValueParameter,
        tapParameter,
        subdivisionParameter,
        accentParameter,
        listenParameter,
        gainParameter,
        muteParameter,
        startParameter,
        soundParameter,
        numParameters
    };

    /** An engine whose presets live in the given file: the user's preset file by
        default; a default-constructed File keeps them in memory only. */
    explicit MetronomeProcessor (const juce::File& presetFileLocation = PresetFile::getDefaultFile());
    ~MetronomeProcessor() override;

    //==============================================================================
    const juce::String getName() const override                { return "Tocksley"; }

    void prepareToPlay (double sampleRate, int estimatedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;

    const juce::String getInputChannelName (int channelIndex) const override   { return juce::String (channelIndex + 1); }
    const juce::String getOutputChannelName (int channelIndex) const override  { return juce::String (channelIndex + 1); }
    bool isInputChannelStereoPair (int) const override          { return true; }
    bool isOutputChannelStereoPair (int) const override         { return true; }
    bool silenceInProducesSilenceOutput() const                 { return true; }
    double getTailLengthSeconds() const override                { return 0.0; }
    bool acceptsMidi() const override                           { return false; }
    bool producesMidi() const override                          { return false; }

    /** The editor that the factory makes; the application installs the factory,
        so that the engine knows nothing of the window. */
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override                            { return editorFactory != nullptr; }

    using EditorFactory = std::function<juce::AudioProcessorEditor* (MetronomeProcessor&)>;
    void setEditorFactory (EditorFactory factory)              { editorFactory = std::move (factory); }

    //==============================================================================
    int getNumParameters() override                             { return numParameters; }
    const juce::String getParameterName (int index) override;
    float getParameter (int index) override;
    const juce::String getParameterText (int) override          { return {}; }
    void setParameter (int index, float value) override;

    //==============================================================================
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int, const juce::String&) override  {}
    void getStateInformation (juce::MemoryBlock&) override      {}
    void setStateInformation (const void*, int) override        {}

    /** Stores the live settings as a new preset at the front of the list. */
    void addPreset (const juce::String& name);

    //==============================================================================
    /** Replaces the millisecond counter that tap tempo reads (for tests). */
    void setMillisecondCounter (std::function<juce::uint32()> counter);

    /** LISTEN's tempo estimate rounded to whole BPM; 0 while there is no tracker or the
        input carries no beat. Safe to call from any thread. */
    int getDetectedBpm() const noexcept             { return detectedBpm; }

    /** SYNC: while LISTEN hears a beat and the clicks play at its tempo, they
        are placed on the music's beats, early by the device's latency so that
        they sound on them. Off at every start; not stored in presets. */
    void setSyncOn (bool shouldSync) noexcept       { syncOn = shouldSync; }
    bool isSyncOn() const noexcept                  { return syncOn; }

    /** The device's input and output latency in samples: SYNC schedules the clicks
        ahead by both, LINK by the output's. */
    void setDeviceLatency (int inputSamples, int outputSamples) noexcept;

    //==============================================================================
    /** LINK: the tempo and the beat are an Ableton Link session's, shared with the
        Link programs on the network. A tempo set here, from any source, goes to
        the session; a tempo a peer sets comes here (clamped into 20..400 for the
        clicks, and not sent back). The clicks fall on the session's beats, beat 1
        on its bar with as many beats to the bar as the bar has. Off at every
        start; not stored in presets. Message thread. */
    void setLinkOn (bool shouldLink);
    bool isLinkOn() const noexcept                  { return linkOn; }

    /** With LINK: START and STOP start and stop the session, and follow it. */
    void setLinkStartStopSync (bool shouldSync);
    bool isLinkStartStopSyncOn() const noexcept     { return linkStartStopSync; }

    /** The other programs in the session; 0 while LINK is off. */
    int getLinkPeers() const;

    /** Takes the session's tempo and, with start/stop sync, its START, a few times a
        second from the message thread while LINK is on. Returns whether the tempo changed. */
    bool followLinkSession();

    /** Builds the click sources of a pack; any index but 1 and 2 selects pack 0.
        The new sources are silent until the next tick. */
    void loadSoundPack (int packIndex);

    //==============================================================================
    enum class SoundRole { accent, click };

    /** Plays a sound file of the musician's own (WAV, FLAC or Ogg Vorbis, at most
        2 s) in place of the pack's accent or click sample, whatever the pack.
        A file that cannot be read changes nothing and says why. */
    juce::Result setOwnSound (SoundRole role, const juce::File& file);

    /** Back to the pack's own sample. */
    void clearOwnSound (SoundRole role);

    /** The file playing in place of the pack's sample; none when the pack's plays. */
    juce::File getOwnSoundFile (SoundRole role) const           { return ownSounds[(size_t) role].file; }

    /** Why the last preset chosen could not play its own sound file; empty when it could. */
    juce::String getOwnSoundError (SoundRole role) const        { return ownSoundErrors[(size_t) role]; }

    //==============================================================================
    /** Sets the practice features, each value clamped into its range. Beat 1 of
        the pattern and ACCENT are one setting: each follows the other. */
    void setPracticeSettings (const PracticeSettings& settings);
    const PracticeSettings& getPracticeSettings() const noexcept    { return practice; }

    /** The random gap click draws from this seed at every start from the top;
        until it is set, each START draws a seed of its own. */
    void setRandomSeed (juce::uint32 seed)                          { fixedSeed = seed; }

    /** Whether the clicks are counting in, and the bar playing (count-in bars
        -N..-1, then 1, 2, ...). Written by the audio thread. */
    bool isCountingIn() const noexcept                  { return countingIn; }
    int getCurrentBar() const noexcept                  { return currentBar; }

    /** The 1-based beat within the bar now playing, count-in included. */
    int getCurrentBeat() const noexcept                 { return currentBeat; }

    /** The tempo the clicks play now: the speed trainer's while it runs, else the tempo set. */
    float getPlayingBpm() const noexcept                { return playingBpm; }

    float getBpm() const noexcept                   { return bpm; }
    int getBeatsPerBar() const noexcept             { return beatsPerBar; }
    int getBeatValue() const noexcept               { return beatValue; }
    float getGain() const noexcept                  { return gain; }
    bool isAccentOn() const noexcept                { return accentOn; }
    bool isListenOn() const noexcept                { return listenOn; }
    bool isMuteOn() const noexcept                  { return muteOn; }
    bool isRunning() const noexcept                 { return running; }
    int getSoundIndex() const noexcept              { return soundIndex; }
    int getSamplesPerBeat() const noexcept          { return samplesPerBeat; }
    int getSamplesPerTick() const noexcept          { return samplesPerTick; }
    double getExactSamplesPerTick() const noexcept  { return exactSamplesPerTick; }
    const TapTempo& getTapTempo() const noexcept    { return tapTempo; }

    /** Clock state of the audio thread: read it only while no block is processed. */
    const BeatClock& getBeatClock() const noexcept  { return clock; }
    const ResampledAudioFormatReaderSource* getAccentSource() const noexcept  { return accentSource.get(); }
    const ResampledAudioFormatReaderSource* getClickSource() const noexcept   { return clickSource.get(); }
    const TempoDetector* getTempoTracker() const noexcept                     { return tempoTracker.get(); }

    //==============================================================================
    /** The 1-based tick within the bar; written by the audio thread. */
    std::atomic<int> tickCounter { 1 };

    /** Ticks per beat: the subdivision's note value over the beat's. */
    std::atomic<float> ticksPerBeat { 1.0f };

    /** The stored presets: type "presets", one "preset" child each. Every
        change to it is written to the preset file at once. */
    juce::ValueTree presets { "presets" };

    const PresetFile& getPresetFile() const noexcept    { return presetFile; }

private:
    void updateTiming();
    /** Plays a stored preset with each of its values brought into the panel's choices
        (2..8 beats, the three beat values, the five subdivisions, the three packs);
        the stored preset keeps the values it holds. */
    void applyPreset (int index);
    void applyPresetParameter (const juce::ValueTree& preset, int parameterIndex);
    void sendPracticeToAudioThread();
    void startVoice (BeatLevel level) noexcept;
    void renderVoice (juce::AudioBuffer<float>&, int start, int length) noexcept;
    void publish (const PlannedTick&) noexcept;
    BeatAligner::MusicBeats musicBeatsInBlock (int numSamples) const noexcept;
    std::optional<LinkSession::Block> readLinkSession (int numSamples, Meter& meter, bool& runs) noexcept;
    void renderClockTicks (juce::AudioBuffer<float>&, const Meter&, bool listening) noexcept;
    void renderLinkTicks (juce::AudioBuffer<float>&, const LinkSession::Block&, const Meter&) noexcept;
    PlannedTick playTick (juce::AudioBuffer<float>&, int& segmentStart, int offset, bool fromTheTop, const Meter&,
                          int startBeat = 0) noexcept;

    /** The click now sounding: it plays from its tick until the next one. */
    enum class Voice { none, accent, click };

    PresetFile presetFile;
    TapTempo tapTempo;
    std::function<juce::uint32()> millisecondCounter { [] { return juce::Time::getMillisecondCounter(); } };

    std::unique_ptr<TempoDetector> tempoTracker;
    std::unique_ptr<LinkSession> linkSession;     // made when LINK is first switched on
    std::atomic<int> detectedBpm { 0 };

    std::unique_ptr<ResampledAudioFormatReaderSource> accentSource;
    std::unique_ptr<ResampledAudioFormatReaderSource> clickSource;

    EditorFactory editorFactory;

    struct OwnSound
    {
        juce::File file;
        juce::MemoryBlock wav;   // decoded once, so that a device change never reads the disk
    };

    std::array<OwnSound, 2> ownSounds;
    std::array<juce::String, 2> ownSoundErrors;
    PracticeSettings practice;
    std::optional<juce::uint32> fixedSeed;

    juce::ValueTree currentPreset { "preset" };

    std::atomic<float> bpm { 120.0f };
    std::atomic<int> samplesPerBeat { 0 };
    std::atomic<int> samplesPerTick { 0 };
    std::atomic<double> exactSamplesPerTick { 0.0 };
    std::atomic<float> sampleRate { 48000.0f };
    std::atomic<int> beatsPerBar { 4 };
    std::atomic<int> beatValue { 4 };
    std::atomic<bool> listenOn { false };
    std::atomic<bool> syncOn { false };
    std::atomic<int> inputLatency { 0 };
    std::atomic<int> outputLatency { 0 };
    std::atomic<bool> linkOn { false };
    std::atomic<bool> linkStartStopSync { false };
    std::atomic<float> gain { 1.0f };
    std::atomic<bool> accentOn { false };
    std::atomic<bool> muteOn { false };
    std::atomic<bool> running { false };
    std::atomic<int> blockSize { 128 };
    std::atomic<int> soundIndex { 0 };

    std::atomic<bool> countingIn { false };
    std::atomic<int> currentBar { 1 };
    std::atomic<int> currentBeat { 1 };
    std::atomic<float> playingBpm { 120.0f };

    // The audio thread's own state.
    BeatClock clock;
    LinkBeatClock linkClock;
    BarPlanner planner;
    bool clicking = false;          // whether the last block played the clicks
    bool placingOnLink = false;     // whether the link clock placed them
    int linkQuantum = 0;
    Voice voice = Voice::none;
    float voiceGain = 1.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MetronomeProcessor)
};
