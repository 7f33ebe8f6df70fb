#include "engine/MetronomeProcessor.h"

#include <benchmark/benchmark.h>

// Cost of one processBlock at 48 kHz while the metronome runs with accent on.
// Arguments: block size, sound pack, a flag for 400 BPM in sixteenths (otherwise
// 120 BPM in quarters) and a flag for LISTEN, whose input is then the previous
// block's clicks: a steady beat for the tracker to follow. The label gives the
// block's real-time duration, the budget that one call must stay well within.

static void processBlock (benchmark::State& state)
{
    const auto blockSize = (int) state.range (0);
    const auto sound = (float) state.range (1);
    const bool fast = state.range (2) != 0;
    const bool listen = state.range (3) != 0;

    // No preset file: a benchmark must not touch the musician's presets.
    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (48000.0, blockSize);
    engine.setParameter (MetronomeProcessor::soundParameter, sound);
    engine.setParameter (MetronomeProcessor::accentParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::bpmParameter, fast ? 400.0f : 120.0f);
    engine.setParameter (MetronomeProcessor::subdivisionParameter, fast ? 4.0f : 1.0f);
    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::listenParameter, listen ? 1.0f : 0.0f);

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (auto _ : state)
    {
        engine.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    const auto budgetMs = blockSize / 48.0;
    state.SetLabel ((juce::String (fast ? "400 BPM 1/16" : "120 BPM 1/4") + (listen ? " + LISTEN" : "") + ", budget "
                     + juce::String (budgetMs, 2) + " ms").toStdString());
}

BENCHMARK (processBlock)
    ->ArgNames ({ "block", "sound", "fast", "listen" })
    ->ArgsProduct ({ { 64, 512, 4096 }, { 0, 1, 2 }, { 0, 1 }, { 0, 1 } });

BENCHMARK_MAIN();
