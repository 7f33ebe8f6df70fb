#include "engine/MetronomeProcessor.h"
#include "tests/ToneFile.h"

#include <benchmark/benchmark.h>

// Cost of one processBlock at 48 kHz while the metronome runs with accent on.
// Arguments: block size, sound pack, a flag for 400 BPM in sixteenths (otherwise
// 120 BPM in quarters) and LISTEN: 0 off, 1 on, 2 on with SYNC. Its input is
// then the previous block's clicks: a steady beat for the tracker to follow and,
// with SYNC, for the ticks to be re-spaced onto. The label gives the
// block's real-time duration, the budget that one call must stay well within.

static void processBlock (benchmark::State& state)
{
    const auto blockSize = (int) state.range (0);
    const auto sound = (float) state.range (1);
    const bool fast = state.range (2) != 0;
    const bool listen = state.range (3) != 0;
    const bool sync = state.range (3) == 2;

    // No preset file: a benchmark must not touch the musician's presets.
    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (48000.0, blockSize);
    engine.setParameter (MetronomeProcessor::soundParameter, sound);
    engine.setParameter (MetronomeProcessor::accentParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::bpmParameter, fast ? 400.0f : 120.0f);
    engine.setParameter (MetronomeProcessor::subdivisionParameter, fast ? 4.0f : 1.0f);
    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::listenParameter, listen ? 1.0f : 0.0f);
    engine.setSyncOn (sync);

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (auto _ : state)
    {
        engine.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    const auto budgetMs = blockSize / 48.0;
    state.SetLabel ((juce::String (fast ? "400 BPM 1/16" : "120 BPM 1/4") + (sync ? " + LISTEN + SYNC" : listen ? " + LISTEN" : "") + ", budget "
                     + juce::String (budgetMs, 2) + " ms").toStdString());
}

BENCHMARK (processBlock)
    ->ArgNames ({ "block", "sound", "fast", "listen" })
    ->ArgsProduct ({ { 64, 512, 4096 }, { 0, 1, 2 }, { 0, 1 }, { 0, 1, 2 } });

// The Classic clicks-only cases above (no LISTEN) with every practice feature
// on: a pattern with soft and silent beats, soft subdivisions, the speed trainer
// stepping every bar for the first few hundred bars, a gap, and own sounds (a
// 44.1 kHz file for the accent, a 96 kHz one for the click).
static void processBlockWithPractice (benchmark::State& state)
{
    const auto blockSize = (int) state.range (0);
    const bool fast = state.range (1) != 0;
    const auto tempo = fast ? 400.0f : 120.0f;

    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (48000.0, blockSize);
    engine.setParameter (MetronomeProcessor::accentParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::bpmParameter, tempo);
    engine.setParameter (MetronomeProcessor::subdivisionParameter, fast ? 4.0f : 1.0f);

    PracticeSettings practice;
    practice.pattern = *PracticeSettings::patternFromText ("Xo.x");
    practice.softSubdivisions = true;
    practice.trainerOn = true;
    practice.trainerTargetBpm = tempo - 100.0f;
    practice.trainerStepBpm = 0.25f;
    practice.trainerEveryBars = 1;
    practice.gap = PracticeSettings::Gap::fixedBars;
    practice.playBars = 3;
    practice.muteBars = 1;
    engine.setPracticeSettings (practice);

    const juce::TemporaryFile accentFile (".wav"), clickFile (".wav");
    if (! writeToneFile (accentFile.getFile(), 44100.0, 1500.0, 0.2) || ! writeToneFile (clickFile.getFile(), 96000.0, 900.0, 0.2)
        || engine.setOwnSound (MetronomeProcessor::SoundRole::accent, accentFile.getFile()).failed()
        || engine.setOwnSound (MetronomeProcessor::SoundRole::click, clickFile.getFile()).failed())
        state.SkipWithError ("own sounds could not be written");

    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (auto _ : state)
    {
        engine.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    state.SetLabel ((juce::String (fast ? "400 BPM 1/16" : "120 BPM 1/4") + ", every practice feature, budget "
                     + juce::String (blockSize / 48.0, 2) + " ms").toStdString());
}

BENCHMARK (processBlockWithPractice)
    ->ArgNames ({ "block", "fast" })
    ->ArgsProduct ({ { 64, 512, 4096 }, { 0, 1 } });

BENCHMARK_MAIN();
