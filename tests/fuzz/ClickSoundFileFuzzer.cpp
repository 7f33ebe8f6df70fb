#include "engine/ClickSoundFile.h"

#include <cmath>

// Any bytes as a musician's own sound file: read without harm. A success is a
// 32-bit float WAV of one or two channels at a sensible rate, no longer than
// the limit and with finite samples only; a failure says why and leaves
// nothing behind.

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    juce::MemoryBlock wav ("stale", 5);
    const auto result = ClickSoundFile::decode (std::make_unique<juce::MemoryInputStream> (data, size, false), wav);

    if (result.failed())
    {
        if (! wav.isEmpty() || result.getErrorMessage().isEmpty())
            __builtin_trap();

        return 0;
    }

    std::unique_ptr<juce::AudioFormatReader> reader (juce::WavAudioFormat().createReaderFor (
        new juce::MemoryInputStream (wav, false), true));

    if (reader == nullptr || reader->numChannels < 1 || reader->numChannels > 2 || ! reader->usesFloatingPointData
        || reader->bitsPerSample != 32 || ! (reader->sampleRate >= ClickSoundFile::minSampleRate)
        || ! (reader->sampleRate <= ClickSoundFile::maxSampleRate) || reader->lengthInSamples < 1
        || (double) reader->lengthInSamples > ClickSoundFile::maxSeconds * reader->sampleRate)
        __builtin_trap();

    juce::AudioBuffer<float> audio ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&audio, 0, audio.getNumSamples(), 0, true, true);

    for (int ch = 0; ch < audio.getNumChannels(); ++ch)
        for (int i = 0; i < audio.getNumSamples(); ++i)
            if (! std::isfinite (audio.getSample (ch, i)))
                __builtin_trap();

    return 0;
}
