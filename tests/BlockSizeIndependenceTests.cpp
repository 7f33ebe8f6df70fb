#include "EngineTestHelpers.h"
#include "RandomPractice.h"

#include <gtest/gtest.h>

// The click track for given settings is the same sample for sample however the
// device slices the stream: blocks of one sample, of any fixed size, or of any
// sequence of lengths.

using namespace EngineTestHelpers;

namespace
{
    using Settings = EngineSettings;

    Settings randomSettings (juce::Random& random)
    {
        const double rates[] = { 22050, 44100, 48000, 96000 };
        Settings s;
        s.rate = rates[random.nextInt (4)];
        s.bpm = random.nextBool() ? 300.0f + random.nextFloat() * 100.0f : 20.0f + random.nextFloat() * 380.0f;
        s.beats = 1 + random.nextInt (16);
        s.beatValueIndex = random.nextInt (3);
        s.subdivisionIndex = random.nextBool() ? 4 : random.nextInt (5);   // fast subdivisions often
        s.sound = random.nextInt (3);
        s.accent = random.nextBool();

        s.practice = randomPractice (random, s.beats);
        return s;
    }

    void expectSameRendering (const Settings& s, int numSamples, const std::function<int()>& nextBlockSize,
                              const std::string& what)
    {
        auto reference = makeEngine (s, 1);
        auto sliced = makeEngine (s, 512);
        const auto expected = render (*reference, numSamples, 1);
        const auto actual = render (*sliced, numSamples, nextBlockSize);

        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ (actual[i], expected[i]) << what << ": first difference at sample " << i;
    }
}

TEST (BlockSizeIndependence, RandomSettingsAndBlockSequencesMatchTheOneSampleRendering)
{
    for (uint32_t seed = 1; seed <= 300; ++seed)
    {
        juce::Random random ((juce::int64) seed);
        const auto settings = randomSettings (random);

        // Fixed sizes, power-of-two device sizes, and lengths that change at every block.
        const auto style = random.nextInt (3);
        const int fixedSize = style == 0 ? 1 + random.nextInt (8192) : 1 << random.nextInt (14);
        const auto nextBlockSize = [&random, style, fixedSize]
        {
            return style == 2 ? 1 + random.nextInt (random.nextBool() ? 64 : 8192) : fixedSize;
        };

        expectSameRendering (settings, (int) settings.rate, nextBlockSize, "seed " + std::to_string (seed));
    }
}

TEST (BlockSizeIndependence, FastSixteenthsAtLargeBlocksKeepEveryClick)
{
    // 400 BPM in sixteenths at 48 kHz: ticks 1800 samples apart, one of them a
    // sample before a block boundary at blocks of 4096.
    Settings s { 48000, 400.0f, 4, 1, 4, 0, false, {} };

    for (const int blockSize : { 512, 4096 })
        expectSameRendering (s, 48000 * 2, [blockSize] { return blockSize; }, "block " + std::to_string (blockSize));
}

TEST (BlockSizeIndependence, LongDrumAndTechnoClicksAreNotCutAtBlockBoundaries)
{
    // 133 BPM in eighths: each Drum and Techno sample is longer than the 10827 samples between ticks.
    for (const int sound : { 1, 2 })
    {
        Settings s { 48000, 133.0f, 4, 1, 2, sound, true, {} };

        for (const int blockSize : { 64, 256, 512, 1024, 4096 })
            expectSameRendering (s, 48000 * 2, [blockSize] { return blockSize; },
                                 "sound " + std::to_string (sound) + ", block " + std::to_string (blockSize));
    }
}
