#pragma once

#include "engine/MetronomeProcessor.h"
#include "engine/SoundPack.h"

#include <vector>

/** Shared fixtures for the engine tests: a prepared engine, rendering, and onset finding. */
namespace EngineTestHelpers
{
    /** An engine prepared for the rate and block size and started with the given settings. */
    inline std::unique_ptr<MetronomeProcessor> makeRunningEngine (double rate, int blockSize, float bpm,
                                                                  int subdivisionIndex = 1, int sound = 0)
    {
        auto engine = std::make_unique<MetronomeProcessor> (juce::File());
        engine->setParameter (MetronomeProcessor::soundParameter, (float) sound);
        engine->prepareToPlay (rate, blockSize);
        engine->setParameter (MetronomeProcessor::bpmParameter, bpm);
        engine->setParameter (MetronomeProcessor::subdivisionParameter, (float) subdivisionIndex);
        engine->setParameter (MetronomeProcessor::startParameter, 1.0f);
        return engine;
    }

    /** Everything a test sets before it starts the engine. */
    struct EngineSettings
    {
        double rate;
        float bpm;
        int beats, beatValueIndex, subdivisionIndex, sound;
        bool accent;
        PracticeSettings practice;
    };

    /** An engine prepared and started with the settings, in the panel's order;
        the random gap click seeded with 7. */
    inline std::unique_ptr<MetronomeProcessor> makeEngine (const EngineSettings& s, int blockSize)
    {
        auto engine = std::make_unique<MetronomeProcessor> (juce::File());
        engine->setParameter (MetronomeProcessor::soundParameter, (float) s.sound);
        engine->prepareToPlay (s.rate, blockSize);
        engine->setParameter (MetronomeProcessor::bpmParameter, s.bpm);
        engine->setParameter (MetronomeProcessor::beatsPerBarParameter, (float) s.beats);
        engine->setParameter (MetronomeProcessor::beatValueParameter, (float) s.beatValueIndex);
        engine->setParameter (MetronomeProcessor::subdivisionParameter, (float) s.subdivisionIndex);
        engine->setParameter (MetronomeProcessor::accentParameter, s.accent ? 1.0f : 0.0f);
        engine->setPracticeSettings (s.practice);
        engine->setRandomSeed (7);
        engine->setParameter (MetronomeProcessor::startParameter, 1.0f);
        return engine;
    }

    /** Runs the engine over numSamples in blocks drawn by nextBlockSize and returns channel 0. */
    template <typename BlockSizeFn>
    std::vector<float> render (MetronomeProcessor& engine, int numSamples, BlockSizeFn&& nextBlockSize, int numChannels = 2)
    {
        std::vector<float> out;
        out.reserve ((size_t) numSamples);
        juce::AudioBuffer<float> buffer (numChannels, 8192);
        juce::MidiBuffer midi;

        while ((int) out.size() < numSamples)
        {
            const auto n = juce::jmin (nextBlockSize(), numSamples - (int) out.size());
            buffer.setSize (numChannels, n, false, false, true);
            engine.processBlock (buffer, midi);
            out.insert (out.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + n);
        }

        return out;
    }

    inline std::vector<float> render (MetronomeProcessor& engine, int numSamples, int blockSize)
    {
        return render (engine, numSamples, [blockSize] { return blockSize; });
    }

    /** The sample of one embedded file as the engine plays it at the given rate, channel 0. */
    inline std::vector<float> resampledSample (const void* data, size_t size, double rate)
    {
        auto source = SoundPack::createSource (data, size, (float) rate, 512);
        juce::AudioBuffer<float> buffer (2, source->getResampledLength());
        source->getNextResampledBlock ({ &buffer, 0, buffer.getNumSamples() });
        return { buffer.getReadPointer (0), buffer.getReadPointer (0) + buffer.getNumSamples() };
    }

    /** Positions where sound starts after at least minSilence samples of exact silence. */
    inline std::vector<int> findOnsets (const std::vector<float>& signal, int minSilence)
    {
        std::vector<int> onsets;
        int silentRun = minSilence;

        for (size_t i = 0; i < signal.size(); ++i)
        {
            if (signal[i] != 0.0f)
            {
                if (silentRun >= minSilence)
                    onsets.push_back ((int) i);

                silentRun = 0;
            }
            else
            {
                ++silentRun;
            }
        }

        return onsets;
    }
}
