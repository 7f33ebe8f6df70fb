#include "engine/MetronomeProcessor.h"

#include <gtest/gtest.h>
#include <limits>

namespace
{
    constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
    constexpr float infinity = std::numeric_limits<float>::infinity();
}

TEST (EngineParameters, NamesAndDefaults)
{
    MetronomeProcessor engine { juce::File() };

    const char* names[] = { "bpm", "beatsPerBarIndex", "beatsValueIndex", "", "subDivIndex",
                            "accent", "listen", "gain", "mute", "start", "sound" };
    EXPECT_EQ (engine.getNumParameters(), 11);

    for (int i = 0; i < 11; ++i)
        EXPECT_EQ (engine.getParameterName (i), juce::String (names[i])) << i;

    EXPECT_EQ (engine.getParameterName (-1), "");
    EXPECT_EQ (engine.getParameterName (11), "");

    const float defaults[] = { 120, 4, 1, 0, 1, 0, 0, 1, 0, 0, 0 };
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ (engine.getParameter (i), defaults[i]) << i;

    EXPECT_EQ (engine.getParameter (11), 0.0f);
    EXPECT_EQ (engine.getName(), "Tocksley");
    EXPECT_EQ (engine.getInputChannelName (0), "1");
    EXPECT_EQ (engine.getOutputChannelName (1), "2");
}

TEST (EngineParameters, UnknownIndicesChangeNothing)
{
    MetronomeProcessor engine { juce::File() };
    engine.setParameter (11, 300.0f);
    engine.setParameter (-1, 300.0f);

    EXPECT_EQ (engine.getBpm(), 120.0f);
    EXPECT_EQ (engine.getParameter (11), 0.0f);
}

TEST (EngineParameters, StoredValueIsTheOneSentNotTheDerivedField)
{
    MetronomeProcessor engine { juce::File() };
    engine.setParameter (MetronomeProcessor::beatsPerBarParameter, 4.9f);

    EXPECT_EQ (engine.getBeatsPerBar(), 4);
    EXPECT_FLOAT_EQ (engine.getParameter (MetronomeProcessor::beatsPerBarParameter), 4.9f);

    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::listenParameter, 1.0f);
    EXPECT_TRUE (engine.isRunning());
    EXPECT_TRUE (engine.isListenOn());
    EXPECT_EQ (engine.getParameter (MetronomeProcessor::startParameter), 1.0f);
}

TEST (EngineParameters, BeatValueKeepsTheSubdivisionNoteValue)
{
    MetronomeProcessor engine { juce::File() };

    engine.setParameter (MetronomeProcessor::beatValueParameter, 2.0f);
    EXPECT_EQ (engine.getBeatValue(), 8);
    EXPECT_EQ (engine.ticksPerBeat.load(), 0.5f);

    engine.setParameter (MetronomeProcessor::subdivisionParameter, 3.0f);
    EXPECT_EQ (engine.ticksPerBeat.load(), 1.5f);

    // Eighths on a quarter-note beat become one tick per eighth-note beat.
    MetronomeProcessor other { juce::File() };
    other.setParameter (MetronomeProcessor::subdivisionParameter, 2.0f);
    EXPECT_EQ (other.ticksPerBeat.load(), 2.0f);
    other.setParameter (MetronomeProcessor::beatValueParameter, 2.0f);
    EXPECT_EQ (other.ticksPerBeat.load(), 1.0f);
}

TEST (EngineParameters, TimingExamples)
{
    struct Example { double rate; float bpm; int beatValueIndex; int subdivisionIndex; int perBeat; int perTick; };
    const Example examples[] = {
        { 48000, 120, 1, 1, 24000, 24000 },
        { 48000, 120, 1, 3, 24000, 8000 },
        { 44100, 97, 1, 1, 27278, 27278 },
        { 44100, 400, 1, 4, 6615, 1653 },
        { 48000, 60, 1, 0, 48000, 96000 },
    };

    for (const auto& e : examples)
    {
        MetronomeProcessor engine { juce::File() };
        engine.prepareToPlay (e.rate, 512);
        engine.setParameter (MetronomeProcessor::bpmParameter, e.bpm);
        engine.setParameter (MetronomeProcessor::beatValueParameter, (float) e.beatValueIndex);
        engine.setParameter (MetronomeProcessor::subdivisionParameter, (float) e.subdivisionIndex);

        EXPECT_EQ (engine.getSamplesPerBeat(), e.perBeat) << e.bpm;
        EXPECT_EQ (engine.getSamplesPerTick(), e.perTick) << e.bpm;
        EXPECT_NEAR (engine.getExactSamplesPerTick(),
                     e.rate * 60.0 / (e.bpm * engine.ticksPerBeat.load()), 1e-6);
    }
}

TEST (EngineParameters, ValuesThePanelNeverSendsAreClamped)
{
    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (44100, 512);

    const auto bpmAfter = [&] (float value) { engine.setParameter (0, value); return engine.getBpm(); };
    EXPECT_EQ (bpmAfter (notANumber), 20.0f);
    EXPECT_EQ (bpmAfter (infinity), 400.0f);
    EXPECT_EQ (bpmAfter (-infinity), 20.0f);
    EXPECT_EQ (bpmAfter (0.0f), 20.0f);
    EXPECT_EQ (bpmAfter (-120.0f), 20.0f);
    EXPECT_EQ (bpmAfter (1.0e9f), 400.0f);
    EXPECT_EQ (bpmAfter (97.6f), 97.6f);

    // A number-less value is stored as 0, never as NaN that would poison a saved preset.
    engine.setParameter (0, notANumber);
    EXPECT_EQ (engine.getParameter (0), 0.0f);

    const auto beatsAfter = [&] (float value) { engine.setParameter (1, value); return engine.getBeatsPerBar(); };
    EXPECT_EQ (beatsAfter (0.0f), 1);
    EXPECT_EQ (beatsAfter (-5.0f), 1);
    EXPECT_EQ (beatsAfter (notANumber), 1);
    EXPECT_EQ (beatsAfter (3.0e38f), 64);

    const auto beatValueAfter = [&] (float value) { engine.setParameter (2, value); return engine.getBeatValue(); };
    EXPECT_EQ (beatValueAfter (7.0f), 8);
    EXPECT_EQ (beatValueAfter (-3.0f), 2);
    EXPECT_EQ (beatValueAfter (notANumber), 2);
    EXPECT_EQ (beatValueAfter (1.0f), 4);

    engine.setParameter (4, 99.0f);
    EXPECT_EQ (engine.ticksPerBeat.load(), 4.0f);
    engine.setParameter (4, -infinity);
    EXPECT_EQ (engine.ticksPerBeat.load(), 0.5f);

    const auto gainAfter = [&] (float value) { engine.setParameter (7, value); return engine.getGain(); };
    EXPECT_EQ (gainAfter (2.0f), 1.0f);
    EXPECT_EQ (gainAfter (-1.0f), 0.0f);
    EXPECT_EQ (gainAfter (notANumber), 0.0f);
    EXPECT_EQ (gainAfter (0.7f), 0.7f);

    const auto soundAfter = [&] (float value) { engine.setParameter (10, value); return engine.getSoundIndex(); };
    EXPECT_EQ (soundAfter (2.7f), 2);
    EXPECT_EQ (soundAfter (3.0f), 0);
    EXPECT_EQ (soundAfter (1.0f), 1);
    EXPECT_EQ (soundAfter (-1.0f), 0);
    EXPECT_EQ (soundAfter (notANumber), 0);
    EXPECT_EQ (soundAfter (1.0e30f), 0);

    EXPECT_GT (engine.getSamplesPerTick(), 0);
}

TEST (EngineParameters, AnyParameterValuesKeepTheAudioFinite)
{
    // Whatever values arrive, the output holds only finite samples within full scale.
    const float values[] = { notANumber, infinity, -infinity, 0.0f, -1.0f, 0.49f, 0.51f, 1.0f, 2.0f, 3.0f, 7.0f,
                             400.0f, 1.0e9f, -1.0e9f, std::numeric_limits<float>::denorm_min() };
    juce::Random random (42);
    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (44100, 256);
    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);

    juce::AudioBuffer<float> buffer (2, 256);
    juce::MidiBuffer midi;

    for (int round = 0; round < 3000; ++round)
    {
        const auto index = random.nextInt (11);
        if (index != MetronomeProcessor::startParameter)
            engine.setParameter (index, values[random.nextInt ((int) std::size (values))]);

        engine.processBlock (buffer, midi);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                ASSERT_TRUE (std::isfinite (buffer.getSample (ch, i)) && std::abs (buffer.getSample (ch, i)) <= 1.0f)
                    << "round " << round;
    }
}

TEST (EnginePrograms, EmptyListAndProgramOperations)
{
    MetronomeProcessor engine { juce::File() };
    EXPECT_EQ (engine.getNumPrograms(), 0);
    EXPECT_EQ (engine.getCurrentProgram(), 0);
    EXPECT_EQ (engine.getProgramName (0), "");

    engine.setCurrentProgram (0);
    EXPECT_EQ ((int) engine.presets.getProperty ("active"), 0);
    EXPECT_EQ (engine.getBpm(), 120.0f);

    engine.presets.setProperty ("active", "-3", nullptr);
    EXPECT_EQ (engine.getCurrentProgram(), 0);
}

TEST (EnginePrograms, AddedPresetsCarryTheLiveStateAndGoToTheFront)
{
    MetronomeProcessor engine { juce::File() };
    engine.addPreset ("A");

    const auto a = engine.presets.getChild (0);
    const char* expected[][2] = { { "name", "A" }, { "bpm", "120" }, { "beatsPerBarIndex", "4" }, { "beatsValueIndex", "1" },
                                  { "sound", "0" }, { "gain", "1" }, { "accent", "0" }, { "subDivIndex", "1" }, { "mute", "0" } };
    ASSERT_EQ (a.getNumProperties(), 9);

    for (int i = 0; i < 9; ++i)
    {
        EXPECT_EQ (a.getPropertyName (i).toString(), expected[i][0]);
        EXPECT_EQ (a.getProperty (expected[i][0]).toString().getDoubleValue(), juce::String (expected[i][1]).getDoubleValue());
    }

    engine.setParameter (MetronomeProcessor::bpmParameter, 90.0f);
    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::listenParameter, 1.0f);
    engine.addPreset ("B");

    EXPECT_EQ (engine.getNumPrograms(), 2);
    EXPECT_EQ (engine.getProgramName (0), "B");
    EXPECT_EQ (engine.getProgramName (1), "A");
    EXPECT_TRUE (engine.presets.getChild (0).hasProperty ("listen"));
    EXPECT_TRUE (engine.presets.getChild (0).hasProperty ("start"));

    // Loading a preset that carries start and listen changes neither.
    engine.setParameter (MetronomeProcessor::startParameter, 0.0f);
    engine.setParameter (MetronomeProcessor::listenParameter, 0.0f);
    engine.setCurrentProgram (0);
    EXPECT_EQ (engine.getBpm(), 90.0f);
    EXPECT_FALSE (engine.isRunning());
    EXPECT_FALSE (engine.isListenOn());

    engine.setCurrentProgram (1);
    EXPECT_EQ (engine.getBpm(), 120.0f);
    EXPECT_EQ (engine.getCurrentProgram(), 1);
}

TEST (EnginePrograms, PresetValuesAreUntrusted)
{
    MetronomeProcessor engine { juce::File() };
    juce::ValueTree preset ("preset");
    preset.setProperty ("name", "odd", nullptr);
    preset.setProperty ("bpm", "97.5", nullptr);
    preset.setProperty ("beatsValueIndex", "2", nullptr);
    preset.setProperty ("subDivIndex", "3", nullptr);
    preset.setProperty ("gain", "information", nullptr);   // the framework reads this as infinity
    preset.setProperty ("sound", "nan", nullptr);
    engine.presets.addChild (preset, -1, nullptr);

    engine.setCurrentProgram (0);
    EXPECT_EQ (engine.getBpm(), 97.5f);
    EXPECT_EQ (engine.getBeatValue(), 8);
    EXPECT_EQ (engine.ticksPerBeat.load(), 1.5f);
    EXPECT_EQ (engine.getGain(), 1.0f);
    EXPECT_EQ (engine.getSoundIndex(), 0);

    preset.setProperty ("bpm", "fast", nullptr);
    engine.setCurrentProgram (0);
    EXPECT_EQ (engine.getBpm(), 20.0f);

    // Numbers far beyond any range, which some parsers overflow on while reading them.
    preset.setProperty ("bpm", "1E99999999999", nullptr);
    engine.setCurrentProgram (0);
    EXPECT_EQ (engine.getBpm(), 400.0f);
    engine.presets.setProperty ("active", "99999999999999999999", nullptr);
    EXPECT_EQ (engine.getCurrentProgram(), 0);

    // An index without a preset stores "active" and changes nothing else.
    engine.setCurrentProgram (5);
    EXPECT_EQ (engine.getCurrentProgram(), 5);
    EXPECT_EQ (engine.getBpm(), 400.0f);
}
