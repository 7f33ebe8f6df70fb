#include "EngineTestHelpers.h"
#include "ReferenceClock.h"
#include "engine/BeatClock.h"

#include <gtest/gtest.h>

// Seeded random runs of the beat clock against the reference grid. A failing
// seed is named in the message and can be rerun alone.

namespace
{
    struct ClockRun
    {
        std::vector<int64_t> engine, reference;
    };

    ClockRun runRandomClock (uint32_t seed)
    {
        juce::Random random ((juce::int64) seed);
        BeatClock clock;
        ReferenceClock reference;
        ClockRun run;

        const auto randomSpacing = [&random]
        {
            // From a tick every sample or two up to a 20 BPM beat at 192 kHz.
            const auto magnitude = random.nextDouble() * 5.7;
            return 1.0 + std::pow (10.0, magnitude) * random.nextDouble();
        };

        auto spacing = randomSpacing();
        int64_t blockStart = 0;
        clock.reset();

        for (int b = 0; b < 400; ++b)
        {
            if (random.nextInt (10) == 0)
                spacing = random.nextBool() ? randomSpacing() : spacing * (0.5 + random.nextDouble());

            spacing = juce::jmax (1.0, spacing);
            const auto length = 32 + random.nextInt (4096 - 32 + 1);

            clock.setSamplesPerTick (spacing);
            clock.advance (length, [&] (int offset, bool) { run.engine.push_back (blockStart + offset); });

            for (const auto tick : reference.block (blockStart, length, spacing))
                run.reference.push_back (tick);

            blockStart += length;
        }

        return run;
    }
}

TEST (TimingModel, RandomSpacingsBlocksAndChangesMatchTheReferenceGrid)
{
    for (uint32_t seed = 1; seed <= 500; ++seed)
    {
        const auto run = runRandomClock (seed);
        ASSERT_EQ (run.engine, run.reference) << "seed " << seed;
    }
}

TEST (TimingModel, ClockStaysWithinOneSampleOfTheIdealGridForAnHour)
{
    // 97 BPM at 44.1 kHz: 27278.35 samples a beat, which whole-sample spacing would let drift.
    const double spacing = 44100.0 * 60.0 / 97.0;
    juce::Random random (97);
    BeatClock clock;
    clock.reset();
    clock.setSamplesPerTick (spacing);

    int64_t blockStart = 0;
    int64_t tickIndex = 0;
    double worstError = 0;

    while (blockStart < (int64_t) 44100 * 3600)
    {
        const auto length = 32 + random.nextInt (4065);

        clock.advance (length, [&] (int offset, bool)
        {
            const auto error = (double) (blockStart + offset) - (double) tickIndex++ * spacing;
            worstError = juce::jmax (worstError, std::abs (error));
            ASSERT_GT (error, -1.0);
            ASSERT_LE (error, 0.0);
        });

        blockStart += length;
    }

    EXPECT_EQ (tickIndex, (int64_t) std::ceil ((double) blockStart / spacing));
    EXPECT_LT (worstError, 1.0);
}

TEST (TimingModel, EngineOutputMatchesTheReferenceRenderingSampleForSample)
{
    // The whole engine, through its audio: every click of the right sample at its
    // tick, sounding until the next tick, for random rates, tempi, subdivisions,
    // bar lengths and block sizes.
    const double rates[] = { 22050, 44100, 48000, 96000 };
    const float ticksPerBeatOfSubdivision[] = { 0.5f, 1.0f, 2.0f, 3.0f, 4.0f };

    for (uint32_t seed = 1; seed <= 60; ++seed)
    {
        juce::Random random ((juce::int64) seed);
        const auto rate = rates[random.nextInt (4)];
        const auto subdivision = random.nextInt (5);
        const auto beats = 2 + random.nextInt (7);
        const auto bpm = 20.0f + random.nextFloat() * 380.0f;
        const auto sound = random.nextInt (3);

        auto engine = EngineTestHelpers::makeRunningEngine (rate, 512, bpm, subdivision, sound);
        engine->setParameter (MetronomeProcessor::beatsPerBarParameter, (float) beats);
        engine->setParameter (MetronomeProcessor::accentParameter, 1.0f);

        const auto pack = SoundPack::forIndex (sound);
        const auto accent = EngineTestHelpers::resampledSample (pack.accentData, pack.accentSize, rate);
        const auto click = EngineTestHelpers::resampledSample (pack.clickData, pack.clickSize, rate);
        const auto spacing = engine->getExactSamplesPerTick();
        const auto ticksPerBar = (float) beats * ticksPerBeatOfSubdivision[subdivision];

        const int total = (int) (rate * 4.0);
        std::vector<int> blockSizes;
        for (int sum = 0; sum < total; sum += blockSizes.back())
            blockSizes.push_back (juce::jmin (32 + random.nextInt (4065), total - sum));

        size_t nextBlock = 0;
        const auto output = EngineTestHelpers::render (*engine, total, [&] { return blockSizes[nextBlock++]; });

        // The reference rendering: each sample belongs to the latest tick at or before it.
        std::vector<float> expected ((size_t) total, 0.0f);
        ReferenceClock reference;
        const std::vector<float>* sample = nullptr;
        int64_t sampleStart = 0;
        int counter = 1;
        int64_t blockStart = 0;

        for (const auto length : blockSizes)
        {
            const auto ticks = reference.block (blockStart, length, spacing);
            size_t nextTick = 0;

            for (int64_t i = blockStart; i < blockStart + length; ++i)
            {
                while (nextTick < ticks.size() && ticks[nextTick] <= i)
                {
                    if (ticks[nextTick] != 0)
                        counter = (float) (counter + 1) > ticksPerBar ? 1 : counter + 1;

                    sample = counter == 1 ? &accent : &click;
                    sampleStart = ticks[nextTick++];
                }

                const auto index = i - sampleStart;
                if (sample != nullptr && index >= 0 && index < (int64_t) sample->size())
                    expected[(size_t) i] = (*sample)[(size_t) index];
            }

            blockStart += length;
        }

        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ (output[i], expected[i]) << "seed " << seed << ", sample " << i << ", spacing " << spacing;
    }
}
