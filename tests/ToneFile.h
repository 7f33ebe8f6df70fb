#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/** Writes a WAV file of a decaying tone, a click sound that no pack has. */
inline bool writeToneFile (const juce::File& file, double rate, double frequency, double seconds, int channels = 1)
{
    juce::AudioBuffer<float> audio (channels, (int) (rate * seconds));
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < audio.getNumSamples(); ++i)
            audio.setSample (ch, i, 0.8f * (float) (std::exp (-i / (0.02 * rate))
                                                     * std::sin (juce::MathConstants<double>::twoPi * frequency * i / rate)));

    file.deleteFile();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        file.createOutputStream().release(), rate, (unsigned int) channels, 24, {}, 0));

    return writer != nullptr && writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}
