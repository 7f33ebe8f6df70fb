#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/**
    A click sample that plays at the device's rate from any device-sample position.

    The reader source underneath reads the sample at its own rate; a resampler in
    front of it converts it to the device rate. Because a click must start on an
    exact device sample, the whole sample is resampled once, when the source is
    prepared, and playback only copies from that rendering: positions are counted
    in device samples, and playing a block takes no lock and allocates nothing.
*/
class ResampledAudioFormatReaderSource : public juce::AudioFormatReaderSource
{
public:
    /** Takes ownership of the reader. */
    ResampledAudioFormatReaderSource (float deviceRate, juce::AudioFormatReader* reader);
    ~ResampledAudioFormatReaderSource() override;

    /** Renders the whole sample at the device rate. Allocates: call it before the
        source is handed to the audio thread. */
    void prepareResampled (int samplesPerBlockExpected, double sampleRate);

    /** Fills the block's first two channels (fewer if the buffer has fewer) from
        the current position, silence outside the sample, and advances. */
    void getNextResampledBlock (const juce::AudioSourceChannelInfo& info);

    /** Moves the play position, in device samples. A negative position -d plays
        d samples of silence before the sample's first frame. */
    void setNextResampledPosition (juce::int64 position) noexcept   { resampledPosition = position; }
    juce::int64 getNextResampledPosition() const noexcept           { return resampledPosition; }

    /** The sample's length at the device rate; 0 until prepared. */
    int getResampledLength() const noexcept                         { return resampledLength; }

    /** Source frames consumed per device frame. */
    double getResamplingRatio() const noexcept                      { return (double) sourceSampleRate / (double) deviceSampleRate; }

private:
    std::unique_ptr<juce::ResamplingAudioSource> resampler;
    float deviceSampleRate;
    float sourceSampleRate;

    juce::AudioBuffer<float> resampled;
    int resampledLength = 0;
    juce::int64 resampledPosition = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ResampledAudioFormatReaderSource)
};
