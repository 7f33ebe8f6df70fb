#include "EngineTestHelpers.h"

#include <gtest/gtest.h>

using namespace EngineTestHelpers;

namespace
{
    /** The tick counter after each of numTicks blocks, each one tick long, so
        that every block begins with a tick. */
    std::vector<int> countersOverTicks (MetronomeProcessor& engine, int numTicks)
    {
        std::vector<int> counters;
        juce::AudioBuffer<float> buffer (2, engine.getSamplesPerTick());
        juce::MidiBuffer midi;

        for (int i = 0; i < numTicks; ++i)
        {
            engine.processBlock (buffer, midi);
            counters.push_back (engine.tickCounter);
        }

        return counters;
    }

    std::unique_ptr<MetronomeProcessor> engineWithBar (int beats, int beatValueIndex, int subdivisionIndex)
    {
        auto engine = makeRunningEngine (48000, 512, 120.0f);
        engine->setParameter (MetronomeProcessor::beatsPerBarParameter, (float) beats);
        engine->setParameter (MetronomeProcessor::beatValueParameter, (float) beatValueIndex);
        engine->setParameter (MetronomeProcessor::subdivisionParameter, (float) subdivisionIndex);
        return engine;
    }

    std::vector<int> bars (int ticksPerBar, int numBars)
    {
        std::vector<int> result;
        for (int b = 0; b < numBars; ++b)
            for (int t = 1; t <= ticksPerBar; ++t)
                result.push_back (t);
        result.push_back (1);
        return result;
    }

    const SoundPack classic = SoundPack::forIndex (0);
}

TEST (ClickRendering, FirstClickAfterPreparationIsTheAccentedDownbeatAtTheBlockStart)
{
    auto engine = makeRunningEngine (44100, 512, 120.0f, 2);
    engine->setParameter (MetronomeProcessor::accentParameter, 1.0f);
    EXPECT_EQ (engine->tickCounter, 1);

    const auto output = render (*engine, 2048, 512);
    const auto accent = resampledSample (classic.accentData, classic.accentSize, 44100);

    EXPECT_EQ (engine->tickCounter, 1);
    for (int i = 0; i < 2048; ++i)
        ASSERT_EQ (output[(size_t) i], accent[(size_t) i]) << i;
}

TEST (ClickRendering, TickCounterWrapsAtTheEndOfTheBar)
{
    EXPECT_EQ (countersOverTicks (*engineWithBar (4, 1, 1), 9), bars (4, 2));    // 4/4
    EXPECT_EQ (countersOverTicks (*engineWithBar (3, 1, 2), 13), bars (6, 2));   // 3 beats x 2 ticks
    EXPECT_EQ (countersOverTicks (*engineWithBar (4, 1, 3), 25), bars (12, 2));  // triplets
    // Three eighth-note beats in quarter notes: 1.5 ticks a bar, every tick a downbeat.
    EXPECT_EQ (countersOverTicks (*engineWithBar (3, 2, 1), 5), std::vector<int> (5, 1));
}

TEST (ClickRendering, AccentOnlyOnTheFirstTickAndNeverWhenOff)
{
    const auto accent = resampledSample (classic.accentData, classic.accentSize, 48000);
    const auto click = resampledSample (classic.clickData, classic.clickSize, 48000);

    for (const bool accentOn : { true, false })
    {
        auto engine = engineWithBar (3, 1, 1);
        engine->setParameter (MetronomeProcessor::accentParameter, accentOn ? 1.0f : 0.0f);
        const auto output = render (*engine, 24000 * 4, 512);

        for (int tick = 0; tick < 4; ++tick)
        {
            const auto& expected = (accentOn && tick % 3 == 0) ? accent : click;
            for (size_t i = 0; i < 100; ++i)
                ASSERT_EQ (output[(size_t) tick * 24000 + i], expected[i]) << "tick " << tick << ", accent " << accentOn;
        }
    }
}

TEST (ClickRendering, MuteSilencesButKeepsTheClockAndGainScales)
{
    auto muted = makeRunningEngine (48000, 480, 120.0f);
    auto loud = makeRunningEngine (48000, 480, 120.0f);
    auto quiet = makeRunningEngine (48000, 480, 120.0f);
    muted->setParameter (MetronomeProcessor::muteParameter, 1.0f);
    quiet->setParameter (MetronomeProcessor::gainParameter, 0.25f);

    for (int block = 0; block < 300; ++block)
    {
        const auto m = render (*muted, 480, 480);
        const auto l = render (*loud, 480, 480);
        const auto q = render (*quiet, 480, 480);

        for (size_t i = 0; i < m.size(); ++i)
        {
            ASSERT_EQ (m[i], 0.0f);
            ASSERT_EQ (q[i], l[i] * 0.25f);
        }

        ASSERT_EQ (muted->tickCounter, loud->tickCounter);
    }

    EXPECT_EQ (muted->getBeatClock().getSamplesSinceTick(), loud->getBeatClock().getSamplesSinceTick());
}

TEST (ClickRendering, StopFreezesAndStartResumesTheCutOffClick)
{
    const auto drum = SoundPack::forIndex (1);
    const auto click = resampledSample (drum.clickData, drum.clickSize, 48000);

    auto engine = makeRunningEngine (48000, 512, 120.0f, 1, 1);
    render (*engine, 24000 + 1000, 500);   // downbeat, then a click at 24000 played for 1000 samples
    ASSERT_EQ (engine->tickCounter, 2);

    engine->setParameter (MetronomeProcessor::startParameter, 0.0f);
    const auto whileStopped = render (*engine, 5000, 500);
    EXPECT_TRUE (std::all_of (whileStopped.begin(), whileStopped.end(), [] (float s) { return s == 0.0f; }));
    EXPECT_EQ (engine->getBeatClock().getSamplesSinceTick(), 1000);

    engine->setParameter (MetronomeProcessor::startParameter, 1.0f);
    const auto resumed = render (*engine, 24000, 500);

    for (size_t i = 0; i < 500; ++i)
        ASSERT_EQ (resumed[i], click[1000 + i]) << i;

    // The next tick comes a tick's length after the one that was cut off.
    const auto onsets = findOnsets (resumed, 300);
    ASSERT_FALSE (onsets.empty());
    EXPECT_EQ (onsets.back(), 23000 + 288);   // the Drum click opens with 6 ms of silence
    EXPECT_EQ (engine->tickCounter, 3);
}

TEST (ClickRendering, SoundPackChangeWhileRunningJoinsAtTheNextTick)
{
    // At every phase of a beat: silence from the switch, then the new pack's click on the next tick.
    const auto techno = SoundPack::forIndex (2);
    const auto click = resampledSample (techno.clickData, techno.clickSize, 48000);

    for (int phase = 0; phase < 24000; phase += 997)
    {
        auto engine = makeRunningEngine (48000, 512, 120.0f);
        render (*engine, 24000 + phase, 512);

        // Chosen directly, or with a preset, which rebuilds the pack it names.
        if (phase % 2 == 0)
        {
            engine->setParameter (MetronomeProcessor::soundParameter, 2.0f);
        }
        else
        {
            juce::ValueTree techno ("preset");
            techno.setProperty ("name", "Techno", nullptr).setProperty ("bpm", 120.0, nullptr).setProperty ("sound", 2.0, nullptr);
            engine->presets.addChild (techno, 0, nullptr);
            engine->setCurrentProgram (0);
        }

        const auto untilTick = (24000 - phase) % 24000;
        const auto output = render (*engine, untilTick + 1000, 256);

        for (int i = 0; i < untilTick; ++i)
            ASSERT_EQ (output[(size_t) i], 0.0f) << "phase " << phase << ", sample " << i;

        for (size_t i = 0; i < 1000; ++i)
            ASSERT_EQ (output[(size_t) untilTick + i], click[i]) << "phase " << phase << ", sample " << i;

        EXPECT_EQ (engine->getSoundIndex(), 2);
    }
}

TEST (ClickRendering, PreparationRestartsTheBarAndKeepsThePack)
{
    auto engine = makeRunningEngine (48000, 512, 120.0f, 1, 1);
    render (*engine, 60000, 512);
    EXPECT_EQ (engine->tickCounter, 3);

    engine->prepareToPlay (44100, 256);
    EXPECT_EQ (engine->tickCounter, 1);
    EXPECT_EQ (engine->getSoundIndex(), 1);
    EXPECT_NEAR (engine->getClickSource()->getResamplingRatio(), 48000.0 / 44100.0, 1e-9);

    const auto output = render (*engine, 44100 * 2 + 1, 256);
    const auto drum = SoundPack::forIndex (1);
    const auto click = resampledSample (drum.clickData, drum.clickSize, 44100);
    EXPECT_EQ (findOnsets (output, 300), (std::vector<int> { 264, 22050 + 264, 44100 + 264, 66150 + 264 }));
    EXPECT_EQ (engine->tickCounter, 1);   // downbeat, 2, 3, 4, and the wrap at 88200
}

TEST (ClickRendering, TempoChangeMovesTheNextTickFromTheLastOne)
{
    auto engine = makeRunningEngine (48000, 1000, 120.0f);
    render (*engine, 10000, 1000);

    // Slower: the next tick falls 30000 samples after the downbeat.
    engine->setParameter (MetronomeProcessor::bpmParameter, 96.0f);
    auto output = render (*engine, 30000, 1000);
    EXPECT_EQ (findOnsets (output, 1000), (std::vector<int> { 20000 }));

    // Much faster once the grid point has passed: the overdue tick sounds at the
    // block's start from the start of its sample, and the new spacing runs from there.
    render (*engine, 5000, 1000);           // the grid's next point, 42000, passes unplayed
    engine->setParameter (MetronomeProcessor::bpmParameter, 240.0f);   // 12000 a tick
    const auto counterBefore = engine->tickCounter.load();
    output = render (*engine, 12000, 1000);

    const auto click = resampledSample (classic.clickData, classic.clickSize, 48000);
    for (size_t i = 0; i < click.size(); ++i)
        ASSERT_EQ (output[i], click[i]) << i;

    EXPECT_EQ (engine->tickCounter, counterBefore % 4 + 1);
    EXPECT_EQ (engine->getBeatClock().getSamplesSinceTick(), 12000);
    EXPECT_EQ (findOnsets (render (*engine, 12001, 1000), 1000), (std::vector<int> { 0, 12000 }));
}

TEST (ClickRendering, TicksShorterThanTheBlockAllSoundAtTheirSamples)
{
    // 400 BPM in sixteenths at 8 kHz: a tick every 300 samples, 13 or 14 in a 4096-sample block,
    // each cutting off the click before it and none cut by a block boundary.
    auto engine = makeRunningEngine (8000, 4096, 400.0f, 4);
    const auto output = render (*engine, 4096 * 8, 4096);
    const auto click = resampledSample (classic.clickData, classic.clickSize, 8000);

    for (size_t tick = 0; tick * 300 + 300 <= output.size(); ++tick)
        for (size_t i = 0; i < 300; ++i)
            ASSERT_EQ (output[tick * 300 + i], click[i]) << "tick " << tick << ", sample " << i;

    EXPECT_EQ (engine->getBeatClock().getSamplesSinceTick(), 4096 * 8 % 300);
}

TEST (ClickRendering, OutputChannelsBeyondTheStereoPairStaySilent)
{
    auto engine = makeRunningEngine (48000, 256, 120.0f);
    juce::AudioBuffer<float> buffer (4, 256);
    juce::MidiBuffer midi;

    buffer.clear();
    for (int ch = 0; ch < 4; ++ch)
        buffer.setSample (ch, 3, 0.5f);   // input that must not reach the output

    engine->processBlock (buffer, midi);
    EXPECT_NE (buffer.getSample (0, 10), 0.0f);
    EXPECT_EQ (buffer.getSample (0, 10), buffer.getSample (1, 10));
    EXPECT_EQ (buffer.getMagnitude (2, 0, 256), 0.0f);
    EXPECT_EQ (buffer.getMagnitude (3, 0, 256), 0.0f);

    juce::AudioBuffer<float> mono (1, 256);
    engine->processBlock (mono, midi);   // a mono device takes the first channel only
    EXPECT_GT (mono.getMagnitude (0, 0, 256), 0.0f);
}

TEST (ClickRendering, SilentWhileStoppedAndBeforeStart)
{
    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (48000, 512);
    juce::AudioBuffer<float> buffer (2, 512);
    juce::MidiBuffer midi;

    for (int i = 0; i < 10; ++i)
    {
        buffer.setSample (0, 0, 1.0f);
        engine.processBlock (buffer, midi);
        ASSERT_EQ (buffer.getMagnitude (0, 512), 0.0f);
    }

    EXPECT_EQ (engine.tickCounter, 1);
}
