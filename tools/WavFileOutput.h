#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/** The click tracks that tocksley-cli writes: 32-bit float stereo WAV files. */
struct WavFileOutput
{
    /** A writer for the file, replacing what it holds; null when the file
        cannot be written (a folder, a read-only place). */
    static std::unique_ptr<juce::AudioFormatWriter> create (const juce::File& file, double sampleRate);
};
