#include "ResampledAudioFormatReaderSource.h"

#include <cmath>

ResampledAudioFormatReaderSource::ResampledAudioFormatReaderSource (float deviceRate, juce::AudioFormatReader* reader)
    : juce::AudioFormatReaderSource (reader, true),
      resampler (std::make_unique<juce::ResamplingAudioSource> (this, false, 2)),
      deviceSampleRate (deviceRate),
      sourceSampleRate ((float) reader->sampleRate)
{
    resampler->setResamplingRatio (getResamplingRatio());
}

// The resampler, a member, goes before the base deletes the reader it reads through.
ResampledAudioFormatReaderSource::~ResampledAudioFormatReaderSource() = default;

void ResampledAudioFormatReaderSource::prepareResampled (int samplesPerBlockExpected, double sampleRate)
{
    const auto chunk = juce::jmax (1, samplesPerBlockExpected);
    resampler->prepareToPlay (chunk, sampleRate);
    setNextReadPosition (0);

    resampledLength = (int) std::ceil ((double) getTotalLength() / getResamplingRatio());
    resampled.setSize (2, resampledLength);

    for (int start = 0; start < resampledLength; start += chunk)
        resampler->getNextAudioBlock ({ &resampled, start, juce::jmin (chunk, resampledLength - start) });

    resampler->releaseResources();
    resampledPosition = 0;
}

void ResampledAudioFormatReaderSource::getNextResampledBlock (const juce::AudioSourceChannelInfo& info)
{
    const auto channels = juce::jmin (2, info.buffer->getNumChannels());
    const auto blockStart = resampledPosition;
    const auto blockEnd = resampledPosition + info.numSamples;
    resampledPosition = blockEnd;

    for (int ch = 0; ch < channels; ++ch)
        info.buffer->clear (ch, info.startSample, info.numSamples);

    const auto from = juce::jmax (blockStart, (juce::int64) 0);
    const auto to = juce::jmin (blockEnd, (juce::int64) resampledLength);

    if (from >= to)
        return;

    for (int ch = 0; ch < channels; ++ch)
        info.buffer->copyFrom (ch, info.startSample + (int) (from - blockStart),
                               resampled, ch, (int) from, (int) (to - from));
}
