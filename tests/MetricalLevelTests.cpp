#include "DrumMachine.h"
#include "engine/TempoDetector.h"

#include <gtest/gtest.h>

// Which metrical level LISTEN reports: music is periodic at its beat, at half
// and twice it, and at its bars, and only the beat is the tempo.

namespace
{
    /** The detector's estimate after every 50 ms of the input, fed in blocks of 512. */
    std::vector<float> estimates (const std::vector<float>& input, double rate)
    {
        TempoDetector detector (rate);
        std::vector<float> out;
        const auto perReport = (size_t) (0.05 * rate);

        for (size_t position = 0; position + perReport <= input.size(); position += perReport)
        {
            for (size_t done = 0; done < perReport; done += 512)
                detector.process (input.data() + position + done, (int) std::min<size_t> (512, perReport - done));

            out.push_back (detector.getEstimate());
        }

        return out;
    }

    float finalEstimate (const std::vector<float>& input, double rate)
    {
        return estimates (input, rate).back();
    }
}

TEST (MetricalLevel, FastRockIsNotReadAtHalfSpeed)
{
    // Kick and snare alternate on the beats: every beat is as strong as the one before.
    for (const double bpm : { 140.0, 174.0, 200.0, 220.0 })
        EXPECT_NEAR (finalEstimate (DrumMachine::play (DrumMachine::rock, 44100, bpm, 15), 44100), bpm, bpm * 0.01) << bpm;
}

TEST (MetricalLevel, SlowBalladIsNotReadAtDoubleSpeed)
{
    // Soft eighth-note hats between beats that carry the kick and the snare.
    for (const double bpm : { 56.0, 60.0, 64.0, 76.0 })
        EXPECT_NEAR (finalEstimate (DrumMachine::play (DrumMachine::ballad, 48000, bpm, 20), 48000), bpm, bpm * 0.01) << bpm;
}

TEST (MetricalLevel, CompoundTimeIsReadInItsDottedBeat)
{
    // Six eighths to the bar, felt in two: neither the eighths nor the quarters are the beat.
    for (const double bpm : { 56.0, 66.0, 80.0 })
        EXPECT_NEAR (finalEstimate (DrumMachine::play (DrumMachine::sixEight, 44100, bpm, 20), 44100), bpm, bpm * 0.01) << bpm;
}

TEST (MetricalLevel, SyncopatedGroovesKeepTheirQuarterBeat)
{
    // Kicks three sixteenths apart are periodic at 4:3 of the beat; sixteenth hats
    // at four times it; a half-time snare at half of it. The beat is still the quarter.
    using namespace DrumMachine;
    const Pattern tresillo { "X..X..X...X.X...", "....X.......X...", "x.x.x.x.x.x.x.x.", 4 };
    const Pattern funk { "X..x..X...X..x..", "....X..x.x..X...", "xxxxxxxxxxxxxxxx", 4 };
    const Pattern halfTime { "X.....X...X.....", "........X.......", "x.x.x.x.x.x.x.x.", 4 };

    for (const auto& [name, pattern, bpm] : { std::tuple { "tresillo", tresillo, 120.0 }, std::tuple { "funk", funk, 96.0 },
                                              std::tuple { "funk", funk, 112.0 }, std::tuple { "half time", halfTime, 140.0 } })
        EXPECT_NEAR (finalEstimate (play (pattern, 44100, bpm, 20), 44100), bpm, bpm * 0.01) << name << " at " << bpm;
}

TEST (MetricalLevel, ALockedBeatHoldsThroughAPassageOfEvenEighths)
{
    // Two seconds of hats alone on every eighth is periodic at twice the tempo,
    // with nothing to tell eighths from beats: not enough to leave the beat.
    using namespace DrumMachine;
    const Pattern hatsOnly { "........", "........", "xxxxxxxx", 2 };
    const auto input = concatenate (concatenate (play (rock, 48000, 120, 10), play (hatsOnly, 48000, 120, 2)),
                                    play (rock, 48000, 120, 6));
    const auto heard = estimates (input, 48000);

    for (size_t report = 40; report < heard.size(); ++report)
        ASSERT_NEAR (heard[report], 120.0f, 1.2f) << "at " << (double) report * 0.05 << " s";
}

TEST (MetricalLevel, ANewTempoIsFollowedWithinFourSeconds)
{
    using namespace DrumMachine;

    for (const auto& [from, to] : { std::pair { 100.0, 130.0 }, std::pair { 140.0, 105.0 }, std::pair { 90.0, 120.0 } })
    {
        const auto input = concatenate (play (rock, 44100, from, 12), play (rock, 44100, to, 12));
        const auto heard = estimates (input, 44100);
        const auto changeReport = (size_t) (12.0 / 0.05);

        EXPECT_NEAR (heard[changeReport - 1], from, from * 0.01);

        auto followedAt = heard.size();
        for (auto report = heard.size(); report-- > changeReport;)
            if (std::abs (heard[report] - to) <= to * 0.04)
                followedAt = report;
            else
                break;

        EXPECT_LE ((double) (followedAt - changeReport) * 0.05, 4.0) << from << " to " << to;
        EXPECT_NEAR (heard.back(), to, to * 0.01);
    }
}

TEST (MetricalLevel, TheBeatIsPlacedWhereTheMusicPlaysIt)
{
    // Beats at 0.237 s + k * 0.5 s: the detector's latest beat lies on that grid, within 10 ms.
    const double rate = 48000, firstBeat = 0.237, period = 0.5;
    TempoDetector detector (rate);
    const auto input = DrumMachine::play (DrumMachine::rock, rate, 120, 12, -6.0f, firstBeat);

    for (size_t position = 0; position < input.size(); position += 480)
    {
        detector.process (input.data() + position, (int) std::min<size_t> (480, input.size() - position));

        if ((double) position > 4.0 * rate)
        {
            ASSERT_GT (detector.getBeatPeriod(), 0.0);
            EXPECT_NEAR (detector.getBeatPeriod(), period * rate, 0.005 * period * rate);

            const auto beatsIn = (detector.getLastBeat() / rate - firstBeat) / period;
            EXPECT_NEAR ((beatsIn - std::round (beatsIn)) * period, 0.0, 0.010) << "at " << (double) position / rate << " s";
            EXPECT_LE (detector.getLastBeat(), (double) detector.getSamplesProcessed());
        }
    }
}
