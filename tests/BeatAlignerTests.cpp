#include "engine/BeatAligner.h"

#include <gtest/gtest.h>

// How SYNC moves the clicks onto the music's beats: a tick at a time, never
// more than a quarter of a tick, and never by doubling or dropping one.

namespace
{
    struct Run
    {
        std::vector<double> ticks;      // the sample of each tick
        std::vector<double> spacings;   // from each tick to the next
    };

    /** Ticks from sample 0, each spaced as the aligner says, for the number of ticks given. */
    Run runTicks (double nominal, float ticksPerBeat, const BeatAligner::MusicBeats& music, int count)
    {
        Run run;
        const auto perBeat = juce::jmax (1, (int) std::lround (ticksPerBeat));
        double time = 0.0;

        for (int tick = 0; tick < count; ++tick)
        {
            run.ticks.push_back (time);
            const auto spacing = BeatAligner::spacingToNextTick (time, nominal, ticksPerBeat, (tick + 1) % perBeat, music);
            run.spacings.push_back (spacing);
            time += spacing;
        }

        return run;
    }

    /** The distance from t to the nearest point of the grid through origin with the step given. */
    double offGrid (double t, double origin, double step)
    {
        const auto phase = std::fmod (t - origin, step);
        const auto wrapped = phase < 0.0 ? phase + step : phase;
        return juce::jmin (wrapped, step - wrapped);
    }
}

TEST (BeatAligner, BeatTicksConvergeOnTheMusicsBeatsFromAnyPhase)
{
    const double period = 22050.0;    // 120 BPM at 44.1 kHz

    for (const float ticksPerBeat : { 1.0f, 2.0f, 3.0f, 4.0f })
    {
        for (const double phase : { 0.0, 0.1, 0.37, 0.5, 0.63, 0.99 })
        {
            // The music's latest beat may lie anywhere, even far behind or ahead of the clicks.
            for (const double beatsAway : { -40.0, 0.0, 3.0 })
            {
                const BeatAligner::MusicBeats music { (beatsAway + phase) * period, period };
                const auto run = runTicks (period / ticksPerBeat, ticksPerBeat, music, 64 * (int) ticksPerBeat);
                const auto perBeat = (int) ticksPerBeat;

                for (size_t i = run.ticks.size() - 8 * (size_t) perBeat; i < run.ticks.size(); ++i)
                {
                    const auto share = (double) (i % (size_t) perBeat) / ticksPerBeat;
                    EXPECT_LT (offGrid (run.ticks[i], music.lastBeat + share * period, period), 1.0)
                        << "tick " << i << " of " << ticksPerBeat << " a beat, phase " << phase << ", " << beatsAway;
                }
            }
        }
    }
}

TEST (BeatAligner, NoTickIsDoubledDroppedOrCrowded)
{
    // Whatever the phase, the ticks keep one to a tick period of the music
    // and none comes closer than three quarters of a tick to the one before.
    const double period = 31500.0;

    for (const float ticksPerBeat : { 1.0f, 2.0f, 3.0f })
    {
        for (double phase = 0.0; phase < 1.0; phase += 0.05)
        {
            const BeatAligner::MusicBeats music { phase * period, period };
            const auto nominal = period / ticksPerBeat;
            const auto run = runTicks (nominal, ticksPerBeat, music, 200);

            for (const auto spacing : run.spacings)
            {
                ASSERT_GE (spacing, 0.75 * nominal - 1.0e-9) << phase;
                ASSERT_LE (spacing, 1.25 * nominal + 1.0e-9) << phase;
            }

            // After the re-phasing, every tick period of the music holds exactly one tick.
            for (size_t i = 20; i + 1 < run.ticks.size(); ++i)
                ASSERT_NEAR (run.ticks[i + 1] - run.ticks[i], nominal, 1.0e-6 * nominal) << phase << " at tick " << i;
        }
    }
}

TEST (BeatAligner, TheRephasingTakesTheShortWay)
{
    // A beat a little late moves the clicks later, a little early moves them earlier,
    // so the correction is never the long way round through a doubled or dropped beat.
    const double period = 20000.0;

    const auto late = runTicks (period, 1.0f, { 0.1 * period, period }, 4);
    EXPECT_NEAR (late.spacings[0], 1.1 * period, 1.0e-6);

    const auto early = runTicks (period, 1.0f, { -0.1 * period, period }, 4);
    EXPECT_NEAR (early.spacings[0], 0.9 * period, 1.0e-6);

    const auto half = runTicks (period, 1.0f, { 0.45 * period, period }, 4);
    EXPECT_NEAR (half.spacings[0], 1.25 * period, 1.0e-6);
    EXPECT_NEAR (half.spacings[1], 1.2 * period, 1.0e-6);
}

TEST (BeatAligner, ClicksAtAnotherTempoKeepTheirOwnSpacing)
{
    const double period = 22050.0;

    for (const double ratio : { 0.5, 0.95, 1.05, 1.5, 2.0 })
    {
        const BeatAligner::MusicBeats music { 1234.0, period * ratio };
        EXPECT_FALSE (BeatAligner::follows (period, 1.0f, music)) << ratio;
        EXPECT_EQ (BeatAligner::spacingToNextTick (500.0, period, 1.0f, 0, music), period) << ratio;
    }

    EXPECT_FALSE (BeatAligner::follows (period, 1.0f, {}));
    EXPECT_EQ (BeatAligner::spacingToNextTick (500.0, period, 2.0f, 1, {}), period);

    // A tempo rounded to the whole BPM the panel shows is still the music's.
    EXPECT_TRUE (BeatAligner::follows (44100.0 * 60.0 / 121.0, 1.0f, { 0.0, 44100.0 * 60.0 / 120.6 }));
}

TEST (BeatAligner, ATickLongerThanTheBeatLandsOnTheMusicsBeats)
{
    // One tick every two beats of the music: the ticks go on every other beat.
    const double period = 24000.0;
    const BeatAligner::MusicBeats music { 0.3 * period, period };
    const auto run = runTicks (2.0 * period, 0.5f, music, 40);

    for (size_t i = 30; i < run.ticks.size(); ++i)
        EXPECT_LT (offGrid (run.ticks[i], music.lastBeat, period), 1.0) << i;
}
