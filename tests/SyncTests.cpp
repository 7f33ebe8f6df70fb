#include "ClickMatching.h"
#include "DrumMachine.h"

#include <gtest/gtest.h>

// SYNC: with LISTEN on, the clicks go on the beats of the music at the input,
// ahead by the device's latency so that they sound on them.

namespace
{
    constexpr double rate = 44100.0;
    constexpr int blockSize = 512;

    struct SyncRun
    {
        double bpm = 120.0;
        double firstBeat = 0.237;           // seconds: the music's beats are out of phase with the clicks' start
        int subdivisionIndex = 1;           // quarter notes
        bool sync = true;
        int inputLatency = 0, outputLatency = 0;
    };

    /** The click positions the engine plays, started with the music at the tempo already set. */
    std::vector<int64_t> clicksAlongside (const std::vector<float>& music, const SyncRun& run)
    {
        auto engine = EngineTestHelpers::makeRunningEngine (rate, blockSize, (float) run.bpm, run.subdivisionIndex);
        engine->setParameter (MetronomeProcessor::listenParameter, 1.0f);
        engine->setSyncOn (run.sync);
        engine->setDeviceLatency (run.inputLatency, run.outputLatency);

        std::vector<float> output;
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;

        for (size_t position = 0; position + blockSize <= music.size(); position += blockSize)
        {
            buffer.clear();
            buffer.copyFrom (0, 0, music.data() + position, blockSize);
            engine->processBlock (buffer, midi);
            output.insert (output.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + blockSize);
        }

        return ClickMatching::positions (ClickMatching::find (output, ClickMatching::Samples (0, rate)));
    }

    /** Signed distance in samples from each click from the sample given on to the nearest point of the grid. */
    std::vector<double> offsets (const std::vector<int64_t>& clicks, double origin, double step, double fromSample)
    {
        std::vector<double> result;

        for (const auto click : clicks)
            if ((double) click >= fromSample)
                result.push_back ((double) click - (origin + std::round (((double) click - origin) / step) * step));

        return result;
    }

    double worst (const std::vector<double>& values)
    {
        double w = 0.0;
        for (const auto v : values)
            w = juce::jmax (w, std::abs (v));
        return w;
    }
}

TEST (Sync, ClicksMoveOntoTheMusicsBeats)
{
    for (const double bpm : { 96.0, 120.0, 150.0 })
    {
        SyncRun run;
        run.bpm = bpm;
        const auto music = DrumMachine::play (DrumMachine::rock, rate, bpm, 14.0, -6.0f, run.firstBeat);
        const auto clicks = clicksAlongside (music, run);
        const auto period = rate * 60.0 / bpm;

        const auto late = offsets (clicks, run.firstBeat * rate, period, 5.0 * rate);
        ASSERT_GT (late.size(), 10u) << bpm;
        EXPECT_LT (worst (late), 0.010 * rate) << bpm;

        // Without SYNC the clicks keep the grid they started on.
        run.sync = false;
        const auto unsynced = clicksAlongside (music, run);
        EXPECT_LT (worst (offsets (unsynced, 0.0, period, 0.0)), 1.0) << bpm;
    }
}

TEST (Sync, TheDevicesLatencyPutsTheClicksThatMuchEarlier)
{
    const auto music = DrumMachine::play (DrumMachine::rock, rate, 120.0, 14.0, -6.0f, 0.237);
    SyncRun run;
    const auto plain = clicksAlongside (music, run);

    run.inputLatency = 300;
    run.outputLatency = 700;
    const auto early = clicksAlongside (music, run);

    // The same clicks, each 1000 samples sooner, once both have settled.
    const auto period = rate * 0.5;
    const auto plainOffsets = offsets (plain, 0.237 * rate, period, 5.0 * rate);
    const auto earlyOffsets = offsets (early, 0.237 * rate - 1000.0, period, 5.0 * rate);
    ASSERT_FALSE (earlyOffsets.empty());

    double meanPlain = 0.0, meanEarly = 0.0;
    for (const auto o : plainOffsets) meanPlain += o / (double) plainOffsets.size();
    for (const auto o : earlyOffsets) meanEarly += o / (double) earlyOffsets.size();

    EXPECT_NEAR (meanEarly, meanPlain, 0.001 * rate);
    EXPECT_LT (worst (earlyOffsets), 0.010 * rate);
}

TEST (Sync, RephasingNeitherDoublesNorDropsAClick)
{
    // Eighth notes against a beat that falls half-way between two of them: the
    // largest correction there is. Every click keeps more than half a tick from
    // the one before, and the count over the run is the tempo's.
    SyncRun run;
    run.subdivisionIndex = 2;
    run.firstBeat = 0.125;
    const auto music = DrumMachine::play (DrumMachine::rock, rate, run.bpm, 12.0, -6.0f, run.firstBeat);
    const auto clicks = clicksAlongside (music, run);
    const auto tick = rate * 0.25;

    ASSERT_GT (clicks.size(), 40u);

    for (size_t i = 1; i < clicks.size(); ++i)
    {
        EXPECT_GE ((double) (clicks[i] - clicks[i - 1]), 0.75 * tick - 1.0) << "click " << i;
        EXPECT_LE ((double) (clicks[i] - clicks[i - 1]), 1.25 * tick + 1.0) << "click " << i;
    }

    EXPECT_NEAR ((double) clicks.size(), (double) (music.size() / blockSize * blockSize) / tick, 2.0);
    EXPECT_LT (worst (offsets (clicks, run.firstBeat * rate, tick, 5.0 * rate)), 0.010 * rate);
}

TEST (Sync, ClicksAtAnotherTempoThanTheMusicsAreLeftAlone)
{
    SyncRun run;
    run.bpm = 90.0;
    const auto music = DrumMachine::play (DrumMachine::rock, rate, 120.0, 10.0, -6.0f, run.firstBeat);
    const auto clicks = clicksAlongside (music, run);

    EXPECT_LT (worst (offsets (clicks, 0.0, rate * 60.0 / 90.0, 0.0)), 1.0);
}
