#include "ClickMatching.h"
#include "engine/BarPlanner.h"
#include "engine/BeatClock.h"

#include <gtest/gtest.h>

// The practice features through the engine's audio, checked against the bar
// written out by hand: where each tick falls and what it plays.

using namespace EngineTestHelpers;
using ClickMatching::Kind;

namespace
{
    /** Classic, quarter-note beats. */
    std::unique_ptr<MetronomeProcessor> makeEngine (double rate, int blockSize, float bpm, int beats, int subdivisionIndex,
                                                    const PracticeSettings& practice, bool accent = false)
    {
        return EngineTestHelpers::makeEngine ({ rate, bpm, beats, 1, subdivisionIndex, 0, accent, practice }, blockSize);
    }

    /** The clicks heard, up to where a click could still be cut off by the end of the rendering. */
    std::vector<ClickMatching::Click> heard (MetronomeProcessor& engine, double rate, int numSamples, int blockSize)
    {
        const ClickMatching::Samples classic (0, rate);
        const auto output = render (engine, numSamples + 2000, blockSize);
        auto clicks = ClickMatching::find (output, classic);
        clicks.erase (std::remove_if (clicks.begin(), clicks.end(), [numSamples] (auto& c) { return c.position >= numSamples; }),
                      clicks.end());
        return clicks;
    }

    PracticeSettings trainer (float target, float step, int everyBars)
    {
        PracticeSettings practice;
        practice.trainerOn = true;
        practice.trainerTargetBpm = target;
        practice.trainerStepBpm = step;
        practice.trainerEveryBars = everyBars;
        return practice;
    }

    PracticeSettings withPattern (const char* text)
    {
        PracticeSettings practice;
        practice.pattern = *PracticeSettings::patternFromText (text);
        return practice;
    }

    struct ExactTick
    {
        long double position;
        int bar;
        int tickInBar;
    };

    /** The exact tempo map of a run: bar b + 1 starts where bar b ends, each bar
        ticksPerBar ticks at its own tempo. */
    std::vector<ExactTick> exactTempoMap (double rate, int ticksPerBar, float ticksPerBeat, int numBars,
                                          const std::function<double (int bar)>& tempoOfBar)
    {
        std::vector<ExactTick> ticks;
        long double barStart = 0;

        for (int bar = 1; bar <= numBars; ++bar)
        {
            const auto spacing = (long double) rate * 60.0L / ((long double) tempoOfBar (bar) * ticksPerBeat);

            for (int t = 0; t < ticksPerBar; ++t)
                ticks.push_back ({ barStart + t * spacing, bar, t + 1 });

            barStart += ticksPerBar * spacing;
        }

        return ticks;
    }
}

//==============================================================================
TEST (AccentPattern, EachBeatPlaysItsLevelAndSubdivisionsFollowTheSoftSwitch)
{
    // Five beats in eighths: accent, soft, silent, normal, accent.
    for (const bool softSubdivisions : { false, true })
        for (const double rate : { 44100.0, 48000.0 })
            for (const int blockSize : { 64, 512, 4096 })
            {
                auto practice = withPattern ("Xo.xX");
                practice.softSubdivisions = softSubdivisions;
                auto engine = makeEngine (rate, blockSize, 150.0f, 5, 2, practice);

                const auto spacing = rate * 60.0 / (150.0 * 2.0);
                const Kind beatKinds[] = { Kind::accent, Kind::soft, Kind::normal, Kind::normal, Kind::accent };
                std::vector<ClickMatching::Click> expected;

                for (int k = 0; k < 40; ++k)
                {
                    const auto beat = (k % 10) / 2;
                    if (beat == 2)
                        continue;   // silent: no click at all, on the beat or between

                    const auto kind = k % 2 == 0 ? beatKinds[beat] : softSubdivisions ? Kind::soft : Kind::normal;
                    expected.push_back ({ (int64_t) std::floor (k * spacing), kind });
                }

                EXPECT_EQ (heard (*engine, rate, (int) (40 * spacing), blockSize), expected)
                    << "rate " << rate << ", block " << blockSize << ", soft subdivisions " << softSubdivisions;
            }
}

TEST (AccentPattern, AccentSwitchesBeatOneAndBarChangesKeepTheRemainingBeats)
{
    MetronomeProcessor engine { juce::File() };
    engine.setPracticeSettings (withPattern ("xo.x"));
    EXPECT_FALSE (engine.isAccentOn());

    engine.setParameter (MetronomeProcessor::accentParameter, 1.0f);
    EXPECT_EQ (PracticeSettings::patternToText (engine.getPracticeSettings().pattern, 4), "Xo.x");

    engine.setPracticeSettings (withPattern ("xo.x"));
    EXPECT_FALSE (engine.isAccentOn());
    EXPECT_EQ (engine.getParameter (MetronomeProcessor::accentParameter), 0.0f);

    engine.setParameter (MetronomeProcessor::beatsPerBarParameter, 2.0f);
    engine.setParameter (MetronomeProcessor::beatsPerBarParameter, 6.0f);
    EXPECT_EQ (PracticeSettings::patternToText (engine.getPracticeSettings().pattern, 6), "xoxxxx");

    EXPECT_EQ (PracticeSettings::patternFromText (""), std::nullopt);
    EXPECT_EQ (PracticeSettings::patternFromText ("XxQ"), std::nullopt);
    EXPECT_EQ (PracticeSettings::patternFromText (juce::String::repeatedString ("x", 65)), std::nullopt);
}

TEST (AccentPattern, SevenEightAsTwoTwoThree)
{
    // Eighth-note beats at 210: group starts accented.
    auto engine = makeEngine (48000, 256, 210.0f, 7, 2, withPattern ("XxXxXxx"));
    engine->setParameter (MetronomeProcessor::beatValueParameter, 2.0f);
    engine->setParameter (MetronomeProcessor::subdivisionParameter, 2.0f);
    const auto spacing = 48000.0 * 60.0 / 210.0;

    const auto clicks = heard (*engine, 48000, (int) (14 * spacing), 256);
    ASSERT_EQ (clicks.size(), 14u);

    for (size_t k = 0; k < clicks.size(); ++k)
    {
        EXPECT_EQ (clicks[k].position, (int64_t) std::floor ((double) k * spacing));
        EXPECT_EQ (clicks[k].kind, (k % 7 == 0 || k % 7 == 2 || k % 7 == 4) ? Kind::accent : Kind::normal) << k;
    }
}

//==============================================================================
TEST (CountIn, BeatsOfTheCountInThenBarOneWhereTheNextDownbeatWouldBe)
{
    for (const double rate : { 44100.0, 96000.0 })
        for (const int blockSize : { 64, 1000, 4096 })
        {
            PracticeSettings practice;
            practice.pattern = PracticeSettings::makeDefaultPattern (true);
            practice.countInBars = 2;
            auto engine = makeEngine (rate, blockSize, 97.0f, 3, 4, practice, true);   // sixteenths

            const auto beat = (long double) rate * 60.0L / 97.0L;
            std::vector<ClickMatching::Click> expected;

            for (int j = 0; j < 6; ++j)
                expected.push_back ({ (int64_t) std::floor (j * beat), j % 3 == 0 ? Kind::accent : Kind::normal });

            for (int k = 0; k < 24; ++k)
                expected.push_back ({ (int64_t) std::floor (6 * beat + k * beat / 4), k % 12 == 0 ? Kind::accent : Kind::normal });

            EXPECT_EQ (heard (*engine, rate, (int) (12 * beat), blockSize), expected) << rate << ", " << blockSize;
        }
}

TEST (CountIn, TheEngineSaysWhileItCountsInAndWhichBar)
{
    PracticeSettings practice;
    practice.countInBars = 2;
    auto engine = makeEngine (48000, 480, 120.0f, 4, 1, practice);

    std::vector<int> bars, beats;
    std::vector<bool> countingIn;

    for (int block = 0; block < 50 * 12; block += 50)
    {
        render (*engine, 24000, 480);
        bars.push_back (engine->getCurrentBar());
        beats.push_back (engine->getCurrentBeat());
        countingIn.push_back (engine->isCountingIn());
    }

    EXPECT_EQ (bars, (std::vector<int> { -2, -2, -2, -2, -1, -1, -1, -1, 1, 1, 1, 1 }));
    EXPECT_EQ (beats, (std::vector<int> { 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4 }));
    EXPECT_EQ (countingIn, (std::vector<bool> { true, true, true, true, true, true, true, true, false, false, false, false }));
}

//==============================================================================
TEST (SpeedTrainer, TicksFollowTheExactTempoMapThroughHundredsOfChanges)
{
    // 60 to 300 BPM by 0.5 every bar of two beats: 480 changes, then holding at 300.
    for (const float rate : { 44100.0f, 48000.0f, 96000.0f })
    {
        auto practice = trainer (300.0f, 0.5f, 1);

        BarPlanner planner;
        planner.setSettings (practice);
        BeatClock clock;
        clock.reset();
        const Meter meter { rate, 60.0f, 2, 1.0f };

        std::vector<int64_t> ticks;
        juce::Random random (3);
        int64_t blockStart = 0;

        while (ticks.size() < 1100)
        {
            const auto length = 1 + random.nextInt (4096);
            clock.setSamplesPerTick (planner.currentSpacing (meter));
            clock.advance (length, [&] (int offset, bool startsBar)
            {
                const auto tick = planner.planTick (startsBar, meter);
                clock.respaceFromLastTick (tick.samplesPerTick);
                ticks.push_back (blockStart + offset);
            });
            blockStart += length;
        }

        const auto exact = exactTempoMap (rate, 2, 1.0f, 550, [] (int bar) { return juce::jmin (300.0, 60.0 + 0.5 * (bar - 1)); });

        for (size_t k = 0; k < ticks.size(); ++k)
        {
            const auto error = (long double) ticks[k] - exact[k].position;
            ASSERT_TRUE (error > -1.0L && error <= 1e-6L) << "rate " << rate << ", tick " << k << " is " << (double) error << " off";
        }
    }
}

TEST (SpeedTrainer, ThroughTheEngineAtSeveralRatesAndBlocks)
{
    for (const double rate : { 44100.0, 48000.0 })
        for (const int blockSize : { 64, 512, 4096 })
            for (const float target : { 200.0f, 40.0f })   // up, and down
            {
                auto practice = trainer (target, 20.0f, 2);
                auto engine = makeEngine (rate, blockSize, 100.0f, 3, 2, practice);

                const auto tempo = [target] (int bar)
                {
                    const auto steps = (bar - 1) / 2;
                    return target > 100.0f ? juce::jmin ((double) target, 100.0 + 20.0 * steps)
                                           : juce::jmax ((double) target, 100.0 - 20.0 * steps);
                };
                const auto exact = exactTempoMap (rate, 6, 2.0f, 16, tempo);
                const auto clicks = heard (*engine, rate, (int) exact.back().position, blockSize);

                ASSERT_EQ (clicks.size(), exact.size() - 1) << rate << ", " << blockSize << ", " << target;
                for (size_t k = 0; k < clicks.size(); ++k)
                {
                    EXPECT_EQ (clicks[k].position, (int64_t) std::floor (exact[k].position)) << k;
                    EXPECT_EQ (clicks[k].kind, Kind::normal);
                }
            }
}

TEST (SpeedTrainer, StopAndStartBeginAgainFromTheTempoSet)
{
    auto practice = trainer (240.0f, 40.0f, 1);
    auto engine = makeEngine (48000, 500, 120.0f, 1, 1, practice);

    render (*engine, 24000 + 18000 + 500, 500);   // bars at 120, 160 and the start of the one at 200
    EXPECT_EQ (engine->getPlayingBpm(), 200.0f);
    EXPECT_EQ (engine->getCurrentBar(), 3);

    engine->setParameter (MetronomeProcessor::startParameter, 0.0f);
    render (*engine, 7000, 500);
    engine->setParameter (MetronomeProcessor::startParameter, 1.0f);

    const auto clicks = heard (*engine, 48000, 24000 + 18000 + 1, 500);
    EXPECT_EQ (ClickMatching::positions (clicks), (std::vector<int64_t> { 0, 24000, 24000 + 18000 }));
    EXPECT_EQ (engine->getPlayingBpm(), 200.0f);
}

//==============================================================================
TEST (GapClick, PlayedAndMutedBarsRepeatFromBarOne)
{
    PracticeSettings practice;
    practice.gap = PracticeSettings::Gap::fixedBars;
    practice.playBars = 2;
    practice.muteBars = 1;
    auto engine = makeEngine (48000, 333, 240.0f, 4, 1, practice);   // 12000 samples a beat

    std::vector<int64_t> expected;
    for (int bar = 1; bar <= 9; ++bar)
        if ((bar - 1) % 3 < 2)
            for (int beat = 0; beat < 4; ++beat)
                expected.push_back (((bar - 1) * 4 + beat) * 12000);

    EXPECT_EQ (ClickMatching::positions (heard (*engine, 48000, 9 * 48000, 333)), expected);
    EXPECT_EQ (engine->getCurrentBar(), 10);   // silent bars count on
}

TEST (GapClick, RandomMuteIsSeededAndKeepsBarOne)
{
    const auto mutedBars = [] (float percent, juce::uint32 seed)
    {
        PracticeSettings practice;
        practice.gap = PracticeSettings::Gap::randomBars;
        practice.randomMutePercent = percent;
        BarPlanner planner;
        planner.setSettings (practice);
        planner.setSeed (seed);

        const Meter meter { 48000.0f, 120.0f, 2, 1.0f };
        std::vector<int> muted;

        for (int tick = 0; tick < 400; ++tick)
            if (planner.planTick (tick == 0, meter).level == BeatLevel::silent)
                muted.push_back (planner.getBar());

        muted.erase (std::unique (muted.begin(), muted.end()), muted.end());
        return muted;
    };

    EXPECT_TRUE (mutedBars (0.0f, 1).empty());
    EXPECT_EQ (mutedBars (100.0f, 1).size(), 199u);
    EXPECT_EQ (mutedBars (100.0f, 1).front(), 2);

    const auto half = mutedBars (50.0f, 5);
    EXPECT_EQ (half, mutedBars (50.0f, 5));
    EXPECT_NE (half, mutedBars (50.0f, 6));
    EXPECT_NEAR ((double) half.size(), 100.0, 20.0);
    EXPECT_TRUE (std::find (half.begin(), half.end(), 1) == half.end());
}

TEST (GapClick, MutedBarsKeepTheTrainersCount)
{
    auto practice = trainer (400.0f, 10.0f, 1);
    practice.gap = PracticeSettings::Gap::fixedBars;
    practice.playBars = 1;
    practice.muteBars = 1;

    BarPlanner planner;
    planner.setSettings (practice);
    const Meter meter { 48000.0f, 100.0f, 1, 1.0f };

    for (int bar = 1; bar <= 9; ++bar)
    {
        const auto tick = planner.planTick (bar == 1, meter);
        EXPECT_EQ (tick.bar, bar);
        EXPECT_EQ (tick.bpm, 100.0f + 10.0f * (float) (bar - 1));
        EXPECT_EQ (tick.level, bar % 2 == 1 ? BeatLevel::normal : BeatLevel::silent);
    }
}

//==============================================================================
TEST (StartFromTheTop, WithAFeatureSetStartBeginsTheCountInAtOnce)
{
    PracticeSettings practice;
    practice.countInBars = 1;
    auto engine = makeEngine (48000, 512, 120.0f, 2, 1, practice);

    render (*engine, 24000 * 3 + 1000, 512);   // into bar 1
    EXPECT_FALSE (engine->isCountingIn());

    engine->setParameter (MetronomeProcessor::startParameter, 0.0f);
    render (*engine, 512, 512);
    engine->setParameter (MetronomeProcessor::startParameter, 1.0f);

    const auto clicks = heard (*engine, 48000, 24000 * 2 + 1, 512);
    EXPECT_EQ (clicks, (std::vector<ClickMatching::Click> { { 0, Kind::accent }, { 24000, Kind::normal }, { 48000, Kind::normal } }));
}

//==============================================================================
TEST (PracticePresets, SettingsAreStoredOnlyWhereTheyDifferAndComeBackWhenChosen)
{
    MetronomeProcessor engine { juce::File() };
    engine.addPreset ("plain");
    const auto plain = engine.presets.getChild (0);
    juce::StringArray names;
    for (int i = 0; i < plain.getNumProperties(); ++i)
        names.add (plain.getPropertyName (i).toString());
    EXPECT_EQ (names.joinIntoString (" "), "name bpm beatsPerBarIndex beatsValueIndex sound gain accent subDivIndex mute");

    auto practice = withPattern ("Xo.x");
    practice.softSubdivisions = true;
    practice.countInBars = 3;
    practice.trainerOn = true;
    practice.trainerTargetBpm = 180.0f;
    practice.trainerStepBpm = 2.5f;
    practice.trainerEveryBars = 8;
    practice.gap = PracticeSettings::Gap::randomBars;
    practice.playBars = 3;
    practice.muteBars = 1;
    practice.randomMutePercent = 40.0f;
    engine.setPracticeSettings (practice);
    engine.addPreset ("practice");

    EXPECT_EQ (engine.presets.getChild (0).getProperty ("pattern").toString(), "Xo.x");
    EXPECT_EQ ((int) engine.presets.getChild (0).getProperty ("accent"), 1);

    engine.setCurrentProgram (1);
    EXPECT_EQ (engine.getPracticeSettings(), PracticeSettings());
    EXPECT_FALSE (engine.isAccentOn());

    engine.setCurrentProgram (0);
    EXPECT_EQ (engine.getPracticeSettings(), practice);
    EXPECT_TRUE (engine.isAccentOn());
}

TEST (PracticePresets, MalformedAttributesReadAsTheirDefaults)
{
    const PracticeSettings defaults;
    juce::ValueTree preset ("preset");
    preset.setProperty ("pattern", "XxZ", nullptr);
    preset.setProperty ("softSubdivisions", "yes", nullptr);
    preset.setProperty ("countIn", "2.5", nullptr);
    preset.setProperty ("trainer", "1", nullptr);
    preset.setProperty ("trainerTarget", "1e999", nullptr);
    preset.setProperty ("trainerStep", "-3", nullptr);
    preset.setProperty ("trainerBars", "nan", nullptr);
    preset.setProperty ("gap", "7", nullptr);
    preset.setProperty ("playBars", "", nullptr);
    preset.setProperty ("muteBars", "3", nullptr);
    preset.setProperty ("randomMute", "101", nullptr);

    const auto read = PracticeSettings::readFrom (preset, true);
    EXPECT_EQ (read.pattern, PracticeSettings::makeDefaultPattern (true));
    EXPECT_FALSE (read.softSubdivisions);
    EXPECT_EQ (read.countInBars, 0);
    EXPECT_TRUE (read.trainerOn);
    EXPECT_EQ (read.trainerTargetBpm, defaults.trainerTargetBpm);
    EXPECT_EQ (read.trainerStepBpm, defaults.trainerStepBpm);
    EXPECT_EQ (read.trainerEveryBars, defaults.trainerEveryBars);
    EXPECT_EQ (read.gap, PracticeSettings::Gap::off);
    EXPECT_EQ (read.playBars, defaults.playBars);
    EXPECT_EQ (read.muteBars, 3);
    EXPECT_EQ (read.randomMutePercent, defaults.randomMutePercent);

    // Out-of-range values set directly are clamped, never played as they are.
    PracticeSettings wild;
    wild.countInBars = 99;
    wild.trainerEveryBars = 0;
    wild.playBars = -4;
    wild.trainerStepBpm = std::numeric_limits<float>::quiet_NaN();
    const auto clamped = wild.clamped();
    EXPECT_EQ (clamped.countInBars, PracticeSettings::maxCountInBars);
    EXPECT_EQ (clamped.trainerEveryBars, 1);
    EXPECT_EQ (clamped.playBars, 1);
    EXPECT_EQ (clamped.trainerStepBpm, defaults.trainerStepBpm);
}
