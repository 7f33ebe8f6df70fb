#include "LinkSession.h"

#include <ableton/Link.hpp>
#include <ableton/link/HostTimeFilter.hpp>
#include <cmath>

struct LinkSession::Instance
{
    explicit Instance (double bpm) : link (bpm) {}

    ableton::Link link;

    // Smooths the jitter of the moments the audio callback runs into a clock of the device's samples.
    ableton::link::HostTimeFilter<ableton::Link::Clock> hostTime;
};

namespace
{
    std::chrono::microseconds microseconds (double samples, double sampleRate) noexcept
    {
        return std::chrono::microseconds (std::llround (samples * 1.0e6 / sampleRate));
    }

    /** How long a silent audio thread leaves requests to the message thread. */
    constexpr juce::uint32 audioIdleMilliseconds = 250;

    /** How long a commit takes at most to show in the session state the message thread reads. */
    constexpr juce::uint32 commitSettleMilliseconds = 300;

    bool isRecent (juce::uint32 time, juce::uint32 milliseconds) noexcept
    {
        return juce::Time::getMillisecondCounter() - time < milliseconds;
    }
}

LinkSession::LinkSession (double initialBpm)
    : instance (std::make_unique<Instance> (initialBpm))
{
}

LinkSession::~LinkSession()
{
    instance->link.enable (false);
}

void LinkSession::join (double bpmIfAlone)
{
    if (isJoined())
        return;

    // Not yet in a session, this state is ours alone: it becomes the session's only if nobody else is there.
    auto state = instance->link.captureAppSessionState();
    state.setTempo (bpmIfAlone, instance->link.clock().micros());
    instance->link.commitAppSessionState (state);
    instance->link.enableStartStopSync (startStopSync);
    instance->link.enable (true);
}

void LinkSession::leave()
{
    instance->link.enable (false);
}

bool LinkSession::isJoined() const
{
    return instance->link.isEnabled();
}

void LinkSession::setStartStopSync (bool shouldSync)
{
    startStopSync = shouldSync;
    instance->link.enableStartStopSync (shouldSync);
}

int LinkSession::getNumPeers() const
{
    return (int) instance->link.numPeers();
}

double LinkSession::getTempo() const
{
    if (const auto requested = requestedTempo.load(); requested > 0.0)
        return requested;

    if (const auto committed = committedTempo.load(); committed > 0.0 && isRecent (lastCommitTime, commitSettleMilliseconds))
        return committed;

    return instance->link.captureAppSessionState().tempo();
}

bool LinkSession::isPlaying() const
{
    if (const auto requested = requestedPlaying.load(); requested != noRequest)
        return requested != 0;

    if (const auto committed = committedPlaying.load(); committed != noRequest && isRecent (lastCommitTime, commitSettleMilliseconds))
        return committed != 0;

    return instance->link.captureAppSessionState().isPlaying();
}

void LinkSession::requestTempo (double bpm) noexcept
{
    if (std::isfinite (bpm) && bpm > 0.0)
        requestedTempo = bpm;
}

void LinkSession::requestPlaying (bool shouldPlay) noexcept
{
    requestedPlaying = shouldPlay ? 1 : 0;
}

void LinkSession::commitRequestsIfAudioIdle()
{
    if (isRecent (lastBlockTime, audioIdleMilliseconds))
        return;

    const auto tempo = requestedTempo.exchange (0.0);
    const auto playing = requestedPlaying.exchange (noRequest);

    if (tempo <= 0.0 && playing == noRequest)
        return;

    auto& link = instance->link;
    auto state = link.captureAppSessionState();
    const auto now = link.clock().micros();

    if (tempo > 0.0)
        state.setTempo (tempo, now);

    if (playing != noRequest)
        state.setIsPlaying (playing != 0, now);

    link.commitAppSessionState (state);
    noteCommitted (tempo, playing);
}

void LinkSession::noteCommitted (double tempo, int playing) noexcept
{
    committedTempo = tempo;
    committedPlaying = playing;
    lastCommitTime = juce::Time::getMillisecondCounter();
}

void LinkSession::prepare (double newSampleRate) noexcept
{
    sampleRate = newSampleRate > 0.0 ? newSampleRate : 48000.0;
    sampleTime = 0.0;
    instance->hostTime.reset();
}

LinkSession::Block LinkSession::beginBlock (int numSamples, double quantum, int outputLatency, bool launchFromTheTop) noexcept
{
    auto& link = instance->link;
    lastBlockTime = juce::Time::getMillisecondCounter();

    // The block's first sample is heard the device's output latency after this moment.
    const auto heardAt = instance->hostTime.sampleTimeToHostTime (sampleTime) + microseconds (outputLatency, sampleRate);
    sampleTime += numSamples;

    auto state = link.captureAudioSessionState();
    const auto tempo = requestedTempo.exchange (0.0);
    const auto playing = requestedPlaying.exchange (noRequest);
    bool changed = false;

    if (tempo > 0.0)
    {
        state.setTempo (tempo, heardAt);
        changed = true;
    }

    if (playing != noRequest)
    {
        if (playing != 0)
            state.setIsPlayingAndRequestBeatAtTime (true, heardAt, 0.0, quantum);
        else
            state.setIsPlaying (false, heardAt);

        changed = true;
    }
    else if (launchFromTheTop)
    {
        state.requestBeatAtTime (0.0, heardAt, quantum);
        changed = true;
    }

    if (changed)
        link.commitAudioSessionState (state);

    if (tempo > 0.0 || playing != noRequest)
        noteCommitted (tempo, playing);

    const auto endHeardAt = heardAt + microseconds (numSamples, sampleRate);
    const auto beatAtStart = state.beatAtTime (heardAt, quantum);
    const auto beatAtEnd = state.beatAtTime (endHeardAt, quantum);

    return { beatAtStart, (beatAtEnd - beatAtStart) / juce::jmax (1, numSamples), state.tempo(), state.isPlaying() };
}
