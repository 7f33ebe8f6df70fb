#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/**
    Reads a FLAC stream through libFLAC, as floating-point samples.

    JUCE 7's own FLAC reader shifts negative samples to the left, which is
    undefined behaviour in C++17 (the sanitizer builds stop on the first one),
    and it pads a stream that ends early with silence without saying so. This
    reader scales instead of shifting, and read() returns false once the stream
    has ended, or failed to decode, before the length its header gives; the
    samples it could not deliver are zero.
*/
class FlacStreamReader : public juce::AudioFormatReader
{
public:
    /** A reader that owns the stream, or null (and the stream deleted) when the
        stream does not begin with FLAC stream information. The stream must be
        able to seek and know its length. */
    static std::unique_ptr<FlacStreamReader> open (std::unique_ptr<juce::InputStream> stream);

    ~FlacStreamReader() override;

    bool readSamples (int* const* destChannels, int numDestChannels, int startOffsetInDestBuffer,
                      juce::int64 startSampleInFile, int numSamples) override;

private:
    explicit FlacStreamReader (juce::InputStream* stream);

    /** Makes sure the decoded block holds the sample, decoding or seeking as
        needed; false when it cannot. */
    bool decodeBlockHolding (juce::int64 sample);

    struct Decoder;
    std::unique_ptr<Decoder> decoder;

    const juce::int64 streamStart;
    juce::AudioBuffer<float> block;
    juce::int64 blockStart = 0;
    juce::int64 nextDecodedSample = 0;
    bool hasStreamInfo = false;
    bool countingOnly = false;
    bool failed = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FlacStreamReader)
};
