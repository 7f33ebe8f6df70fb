#include "DrumMachine.h"
#include "EngineTestHelpers.h"

#include <gtest/gtest.h>

// LISTEN on synthetic input of known tempo: bursts of decaying noise with a
// low thump, like a drum machine, at a steady tempo.

namespace
{
    std::vector<float> beats (double rate, double bpm, double seconds, float level = 0.5f)
    {
        juce::Random random (5);
        std::vector<float> signal ((size_t) (rate * seconds), 0.0f);
        const auto spacing = rate * 60.0 / bpm;

        for (double start = 0; start < (double) signal.size(); start += spacing)
        {
            const auto first = (size_t) start;
            for (size_t i = 0; i < (size_t) (0.08 * rate) && first + i < signal.size(); ++i)
            {
                const auto t = (double) i / rate;
                const auto envelope = (float) std::exp (-t / 0.015);
                signal[first + i] = level * envelope * (0.6f * (random.nextFloat() * 2.0f - 1.0f)
                                                        + 0.4f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 60.0 * t));
            }
        }

        return signal;
    }

    /** Plays the input into a listening engine in blocks drawn by nextBlock; returns
        the estimate read after every block. */
    template <typename BlockSizeFn>
    std::vector<int> listen (MetronomeProcessor& engine, const std::vector<float>& input, BlockSizeFn&& nextBlock)
    {
        std::vector<int> estimates;
        juce::AudioBuffer<float> buffer (2, 8192);
        juce::MidiBuffer midi;

        for (size_t position = 0; position < input.size();)
        {
            const auto n = (int) juce::jmin ((size_t) nextBlock(), input.size() - position);
            buffer.setSize (2, n, false, false, true);
            buffer.clear();
            buffer.copyFrom (0, 0, input.data() + position, n);
            engine.processBlock (buffer, midi);
            estimates.push_back (engine.getDetectedBpm());
            position += (size_t) n;
        }

        return estimates;
    }

    std::unique_ptr<MetronomeProcessor> listeningEngine (double rate, int blockSize)
    {
        auto engine = std::make_unique<MetronomeProcessor> (juce::File());
        engine->prepareToPlay (rate, blockSize);
        engine->setParameter (MetronomeProcessor::listenParameter, 1.0f);
        return engine;
    }

    int finalEstimate (double rate, int blockSize, const std::vector<float>& input)
    {
        auto engine = listeningEngine (rate, blockSize);
        return listen (*engine, input, [blockSize] { return blockSize; }).back();
    }
}

TEST (TempoDetection, EstimateIsTheSameAtEveryBlockSize)
{
    const auto input = beats (48000, 120, 12);
    const auto reference = finalEstimate (48000, 512, input);
    EXPECT_NEAR (reference, 120, 1);

    // Blocks shorter and longer than aubio's hop, and beyond the 1024 it could once take.
    for (const int blockSize : { 32, 64, 333, 1024, 2048, 4096, 8192 })
        EXPECT_EQ (finalEstimate (48000, blockSize, input), reference) << blockSize;

    juce::Random random (1);
    auto engine = listeningEngine (48000, 512);
    EXPECT_EQ (listen (*engine, input, [&random] { return 1 + random.nextInt (4096); }).back(), reference);
}

TEST (TempoDetection, SteadyTempiAreReadWithinOnePercent)
{
    for (const double rate : { 44100.0, 48000.0 })
    {
        for (const double bpm : { 90.0, 120.0, 150.0 })
        {
            auto engine = listeningEngine (rate, 512);
            const auto estimates = listen (*engine, beats (rate, bpm, 15), [] { return 512; });
            EXPECT_NEAR (estimates.back(), bpm, bpm * 0.01) << rate << " Hz, " << bpm << " BPM";
        }
    }
}

TEST (TempoDetection, AClearBeatLocksWithinTwoSeconds)
{
    auto engine = listeningEngine (48000, 480);
    const auto estimates = listen (*engine, beats (48000, 120, 4), [] { return 480; });

    const auto locked = std::find_if (estimates.begin(), estimates.end(), [] (int bpm) { return std::abs (bpm - 120) <= 1; });
    ASSERT_NE (locked, estimates.end());
    EXPECT_LE ((double) (locked - estimates.begin() + 1) * 480.0 / 48000.0, 2.0);
    EXPECT_TRUE (std::all_of (locked, estimates.end(), [] (int bpm) { return std::abs (bpm - 120) <= 1; }));
}

TEST (TempoDetection, SilenceHumAndNoiseCarryNoTempoAtAnyLevel)
{
    using namespace DrumMachine;
    const std::vector<std::pair<const char*, std::vector<float>>> inputs {
        { "silence", std::vector<float> (48000 * 20, 0.0f) },
        { "white noise at -10 dBFS", whiteNoise (48000, 20, -10.0f) },
        { "white noise at -70 dBFS", whiteNoise (48000, 20, -70.0f) },
        { "pink noise at -20 dBFS", pinkNoise (48000, 20, -20.0f) },
        { "pink noise at -60 dBFS", pinkNoise (48000, 20, -60.0f) },
        { "50 Hz hum", hum (48000, 30, 50.0, -12.0f) },   // its faint ripples are as regular as a beat
        { "60 Hz hum under white noise", mix (hum (48000, 20, 60.0, -30.0f), whiteNoise (48000, 20, -50.0f)) },
    };

    for (const auto& [name, input] : inputs)
    {
        auto engine = listeningEngine (48000, 512);
        const auto estimates = listen (*engine, input, [] { return 512; });
        EXPECT_TRUE (std::all_of (estimates.begin(), estimates.end(), [] (int bpm) { return bpm == 0; })) << name;
    }

}

TEST (TempoDetection, QuietMusicLocksAsLoudMusicDoes)
{
    // The gate is the beat's clarity: a quiet microphone hears the same tempo.
    for (const auto peakDb : { -6.0f, -40.0f, -50.0f, -60.0f })
    {
        auto engine = listeningEngine (44100, 512);
        const auto estimates = listen (*engine, DrumMachine::play (DrumMachine::rock, 44100, 132, 8, peakDb), [] { return 512; });
        const auto locked = std::find_if (estimates.begin(), estimates.end(), [] (int bpm) { return bpm == 132; });

        ASSERT_NE (locked, estimates.end()) << peakDb << " dBFS";
        EXPECT_LE ((double) (locked - estimates.begin()) * 512.0 / 44100.0, 2.5) << peakDb << " dBFS";
        EXPECT_EQ (estimates.back(), 132) << peakDb << " dBFS";
    }
}

TEST (TempoDetection, MusicUnderNoiseIsStillHeard)
{
    using namespace DrumMachine;
    const auto music = play (rock, 48000, 96, 15, -6.0f);

    for (const auto& noise : { whiteNoise (48000, 15, -26.0f), pinkNoise (48000, 15, -22.0f) })
        EXPECT_EQ (finalEstimate (48000, 512, mix (music, noise)), 96);
}

TEST (TempoDetection, ListenOffStopsFeedingAndKeepsTheLastEstimate)
{
    auto engine = listeningEngine (44100, 512);
    listen (*engine, beats (44100, 120, 12), [] { return 512; });
    const auto estimate = engine->getDetectedBpm();
    ASSERT_NEAR (estimate, 120, 1);

    engine->setParameter (MetronomeProcessor::listenParameter, 0.0f);
    listen (*engine, DrumMachine::whiteNoise (44100, 10, -10.0f), [] { return 512; });
    EXPECT_EQ (engine->getDetectedBpm(), estimate);

    engine->setParameter (MetronomeProcessor::listenParameter, 1.0f);
    EXPECT_EQ (engine->getDetectedBpm(), estimate);

    // A device change starts a fresh tracker; releasing the device leaves none.
    engine->prepareToPlay (48000, 256);
    EXPECT_EQ (engine->getDetectedBpm(), 0);
    listen (*engine, beats (48000, 100, 12), [] { return 256; });
    EXPECT_NEAR (engine->getDetectedBpm(), 100, 1);

    engine->releaseResources();
    engine->releaseResources();
    EXPECT_EQ (engine->getDetectedBpm(), 0);
    EXPECT_EQ (engine->getTempoTracker(), nullptr);
}

TEST (TempoDetection, ClicksKeepPlayingWhileListening)
{
    auto engine = listeningEngine (48000, 480);
    engine->setParameter (MetronomeProcessor::startParameter, 1.0f);

    juce::AudioBuffer<float> buffer (2, 480);
    juce::MidiBuffer midi;
    buffer.clear();
    engine->processBlock (buffer, midi);

    EXPECT_GT (buffer.getMagnitude (0, 0, 480), 0.0f);
}

TEST (TempoDetection, HopIsAboutFiveMillisecondsAtEveryRate)
{
    EXPECT_EQ (TempoDetector::hopSizeFor (44100), 256);
    EXPECT_EQ (TempoDetector::hopSizeFor (48000), 279);
    EXPECT_EQ (TempoDetector::hopSizeFor (96000), 557);
    EXPECT_EQ (TempoDetector::hopSizeFor (8000), 46);
}
