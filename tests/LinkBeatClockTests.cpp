#include "engine/LinkBeatClock.h"

#include <gtest/gtest.h>
#include <cmath>
#include <tuple>
#include <vector>

// The link clock against timelines made up here: the session's beats are a
// function of the sample count, and every tick must sound on the first sample
// at or after its beat.

namespace
{
    constexpr double rate = 48000.0;

    /** A session timeline: beats as a function of the device's sample, piecewise linear. */
    struct Timeline
    {
        double beatAtZero;
        double bpm;
        juce::int64 changeAt = -1;      // a sample where the tempo changes, beats continuous
        double bpmAfter = 0.0;
        juce::int64 jumpAt = -1;        // a sample where the beat jumps, as when sessions merge
        double jumpBy = 0.0;

        double beatAt (double sample) const
        {
            auto beat = beatAtZero + std::min (sample, changeAt < 0 ? sample : (double) changeAt) * bpm / 60.0 / rate;

            if (changeAt >= 0 && sample > (double) changeAt)
                beat += (sample - (double) changeAt) * bpmAfter / 60.0 / rate;

            if (jumpAt >= 0 && sample >= (double) jumpAt)
                beat += jumpBy;

            return beat;
        }

        LinkSession::Block block (juce::int64 start, int numSamples) const
        {
            // One session state serves a whole block: a jump shows between blocks.
            const auto end = start + numSamples;
            const auto jumpsAtEnd = jumpAt > start && jumpAt <= end;
            const auto a = beatAt ((double) start), b = beatAt ((double) end) - (jumpsAtEnd ? jumpBy : 0.0);
            return { a, (b - a) / numSamples, bpm, true };
        }
    };

    struct Tick
    {
        juce::int64 position;
        bool fromTheTop;
        int beatInBar;
    };

    std::vector<Tick> run (const Timeline& timeline, juce::int64 length, int blockSize, double beatsPerTick = 1.0,
                           int quantum = 4)
    {
        LinkBeatClock clock;
        clock.launch();
        std::vector<Tick> ticks;

        for (juce::int64 start = 0; start < length; start += blockSize)
            clock.advance (timeline.block (start, blockSize), blockSize, quantum, [&] (int offset, bool fromTheTop, int beatInBar)
            {
                ticks.push_back ({ start + offset, fromTheTop, beatInBar });
                return beatsPerTick;
            });

        return ticks;
    }

    /** The first sample at or after the beat, where it lies within a block of the timeline. */
    juce::int64 sampleOfBeat (double beat, double bpm, juce::int64 from, double beatAtFrom)
    {
        return from + (juce::int64) std::ceil ((beat - beatAtFrom) * 60.0 * rate / bpm - 1.0e-6);
    }
}

TEST (LinkBeatClock, StartsOnTheSessionsNextBeatAsThatBeatOfItsBarAndPlaysOnEveryBeat)
{
    for (const auto& [beatAtZero, quantum, firstBeatInBar] : { std::tuple { 2.7, 4, 3 }, { 10.2, 4, 3 }, { -0.5, 3, 0 },
                                                               { 4.0, 4, 0 }, { 6.9, 7, 0 } })
    {
        const Timeline timeline { beatAtZero, 120.0 };
        const auto ticks = run (timeline, 10 * 48000, 512, 1.0, quantum);

        ASSERT_FALSE (ticks.empty());
        const auto firstBeat = std::ceil (beatAtZero - 1.0e-9);
        EXPECT_EQ (ticks.front().position, (juce::int64) std::lround ((firstBeat - beatAtZero) * 24000.0)) << beatAtZero;
        EXPECT_TRUE (ticks.front().fromTheTop);
        EXPECT_EQ (ticks.front().beatInBar, firstBeatInBar) << beatAtZero;

        for (size_t i = 1; i < ticks.size(); ++i)
        {
            EXPECT_EQ (ticks[i].position - ticks[i - 1].position, 24000) << "tick " << i;
            EXPECT_FALSE (ticks[i].fromTheTop);
        }
    }
}

TEST (LinkBeatClock, TicksOnFractionalPositionsSoundOnTheFirstSampleAfterTheirBeat)
{
    // 97 BPM at 48 kHz: 29690.72 samples a beat, so the positions fall between samples.
    const Timeline timeline { 0.25, 97.0 };
    const auto ticks = run (timeline, 20 * 48000, 300, 0.25);

    ASSERT_GT (ticks.size(), 100u);

    for (size_t i = 0; i < ticks.size(); ++i)
    {
        const auto beat = 1.0 + 0.25 * (double) i;
        EXPECT_EQ (ticks[i].position, sampleOfBeat (beat, 97.0, 0, 0.25)) << "tick " << i;
    }
}

TEST (LinkBeatClock, FollowsATempoChangeOnTheSessionsBeatsWithoutDoubledOrDroppedTicks)
{
    for (const auto bpmAfter : { 180.0, 61.0, 399.0 })
    {
        const Timeline timeline { 0.0, 120.0, 102400, bpmAfter };
        const auto ticks = run (timeline, 12 * 48000, 256, 0.5);

        // Each tick on its half beat, before the change and after it.
        for (size_t i = 0; i < ticks.size(); ++i)
        {
            const auto beat = 0.5 * (double) i;
            const auto before = beat * 60.0 * rate / 120.0;
            const auto expected = before <= 102400.0 ? (juce::int64) std::ceil (before - 1.0e-6)
                                                     : sampleOfBeat (beat, bpmAfter, 102400, timeline.beatAt (102400.0));
            ASSERT_EQ (ticks[i].position, expected) << "tick " << i << " at " << bpmAfter << " BPM";
        }

        const auto beatsHeard = timeline.beatAt (12.0 * 48000.0 - 1.0);
        EXPECT_EQ ((double) ticks.size(), std::floor (beatsHeard / 0.5) + 1.0);
    }
}

TEST (LinkBeatClock, AJumpOfTheSessionsBeatKeepsTheBeatsAndBarsOfTheNewTimeline)
{
    constexpr juce::int64 jumpAt = 512 * 390;
    constexpr double beatsPerSample = 120.0 / 60.0 / rate;

    for (const auto jump : { 2.3, -1.6, 0.3, 0.6, 40.0, -7.0 })
    {
        const Timeline timeline { 0.0, 120.0, -1, 0.0, jumpAt, jump };
        const auto ticks = run (timeline, 10 * 48000, 512);
        int fromTheTop = 0;

        for (size_t i = 0; i < ticks.size(); ++i)
        {
            const auto beat = timeline.beatAt ((double) ticks[i].position);

            // On a beat of the timeline, or, a little late, at once where the beat jumped.
            if (ticks[i].position != jumpAt)
            {
                EXPECT_LT (beat - std::floor (beat), beatsPerSample) << "jump " << jump << ", tick " << i;
            }

            // A run starts on a beat, knowing which beat of the session's bar it is.
            if (ticks[i].fromTheTop)
            {
                ++fromTheTop;
                const auto wholeBeat = std::floor (beat);
                EXPECT_EQ (ticks[i].beatInBar, (int) (wholeBeat - 4.0 * std::floor (wholeBeat / 4.0))) << "jump " << jump;
            }

            if (i > 0)
            {
                EXPECT_GE (ticks[i].position - ticks[i - 1].position, 12000) << "jump " << jump << ", tick " << i;
            }
        }

        // A jump of more than half a beat either way starts again on the session's next beat.
        EXPECT_EQ (fromTheTop, std::abs (jump) <= 0.5 ? 1 : 2) << "jump " << jump;
    }
}

TEST (LinkBeatClock, ABlockWithoutATimelinePlaysNothing)
{
    LinkBeatClock clock;
    clock.launch();
    int ticks = 0;

    const auto count = [&] (int, bool, int) { ++ticks; return 1.0; };

    for (const auto beatsPerSample : { 0.0, -1.0, std::nan ("") })
        clock.advance ({ 0.0, beatsPerSample, 120.0, true }, 512, 4, count);

    clock.advance ({ std::nan (""), 1.0e-4, 120.0, true }, 512, 4, count);
    EXPECT_EQ (ticks, 0);
    EXPECT_TRUE (clock.isLaunching());
}
