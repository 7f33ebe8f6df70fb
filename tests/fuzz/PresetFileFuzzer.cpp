#include "engine/MetronomeProcessor.h"

#include <cstring>

// Any bytes as a preset file: parsed, written back, and every preset applied to
// an engine, whose state (practice settings included) must stay within its ranges.

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto presets = PresetFile::parse (data, size);

    if (! presets.isValid())
        return 0;

    // What is written back must read back.
    if (const auto xml = PresetFile::toXml (presets))
    {
        const auto written = xml->toString();
        if (! PresetFile::parse (written.toRawUTF8(), std::strlen (written.toRawUTF8())).isValid())
            __builtin_trap();
    }

    MetronomeProcessor engine { juce::File() };
    engine.presets = presets;

    for (int i = 0; i < juce::jmin (engine.getNumPrograms(), 8); ++i)
    {
        engine.setCurrentProgram (i);
        engine.getProgramName (i);

        const auto bpm = engine.getBpm();
        if (! (bpm >= 20.0f && bpm <= 400.0f) || ! (engine.getGain() >= 0.0f && engine.getGain() <= 1.0f)
            || engine.getSamplesPerTick() <= 0 || ! std::isfinite (engine.getExactSamplesPerTick())
            || engine.getPracticeSettings() != engine.getPracticeSettings().clamped())
            __builtin_trap();
    }

    engine.getCurrentProgram();
    return 0;
}
