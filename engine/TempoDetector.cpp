#include "TempoDetector.h"

#include <aubio/aubio.h>
#include <juce_audio_basics/juce_audio_basics.h>
#include <algorithm>
#include <cmath>
#include <limits>

int TempoDetector::hopSizeFor (double rate) noexcept
{
    return juce::jmax (16, (int) std::lround (rate * 512.0 / 44100.0));
}

TempoDetector::TempoDetector (double rate)
    : sampleRate (rate),
      hopSize (hopSizeFor (rate))
{
    tracker = new_aubio_tempo ("default", (uint_t) (2 * hopSize), (uint_t) hopSize, (uint_t) rate);

    hop.calloc ((size_t) hopSize);
}

TempoDetector::~TempoDetector()
{
    if (tracker != nullptr)
        del_aubio_tempo (tracker);
}

void TempoDetector::process (const float* samples, int numSamples) noexcept
{
    if (tracker == nullptr)
        return;

    while (numSamples > 0)
    {
        const auto n = juce::jmin (numSamples, hopSize - filled);
        std::copy (samples, samples + n, hop.get() + filled);
        filled += n;
        samples += n;
        numSamples -= n;

        if (filled == hopSize)
        {
            analyseHop();
            filled = 0;
        }
    }
}

void TempoDetector::analyseHop() noexcept
{
    // Frames that wrap our own memory: aubio reads exactly one hop from the input.
    const fvec_t input { (uint_t) hopSize, hop.get() };
    float beatAndOnset[2] = {};
    fvec_t output { 2, beatAndOnset };
    aubio_tempo_do (tracker, &input, &output);

    float sumOfSquares = 0.0f;
    for (int i = 0; i < hopSize; ++i)
        sumOfSquares += hop[i] * hop[i];

    // About two seconds to settle, so the gaps between notes do not close the gate.
    const auto hopsPerTwoSeconds = (float) (2.0 * sampleRate / hopSize);
    loudness += (sumOfSquares / (float) hopSize - loudness) / hopsPerTwoSeconds;

    measureCrest (sumOfSquares / (float) hopSize);

    const auto period = aubio_tempo_get_period (tracker);
    const bool audible = juce::Decibels::gainToDecibels (std::sqrt (loudness), -200.0f) > minimumLevelDb;
    const bool confident = aubio_tempo_get_confidence (tracker) >= minimumConfidence;
    const bool rhythmic = crest >= minimumCrest;

    if (period > 0.0f && audible && (confident || rhythmic))
        estimate = (float) (60.0 * sampleRate / ((double) period + 0.5 * hopSize));
    else
        estimate = 0.0f;
}

void TempoDetector::measureCrest (float hopEnergy) noexcept
{
    recentEnergy[nextEnergy] = hopEnergy;
    nextEnergy = (nextEnergy + 1) % recentEnergy.size();

    auto sorted = recentEnergy;
    const auto middle = sorted.begin() + (std::ptrdiff_t) sorted.size() / 2;
    std::nth_element (sorted.begin(), middle, sorted.end());
    const auto loudest = *std::max_element (recentEnergy.begin(), recentEnergy.end());

    // Energies: a crest of 4 is 6 dB between the loudest hop and the typical one.
    // Hits with digital silence between them stand out without measure.
    crest = loudest / juce::jmax (*middle, loudest * 1.0e-6f, std::numeric_limits<float>::min());
}

float TempoDetector::getRawBpm() const noexcept
{
    return tracker != nullptr ? aubio_tempo_get_bpm (tracker) : 0.0f;
}

float TempoDetector::getConfidence() const noexcept
{
    return tracker != nullptr ? aubio_tempo_get_confidence (tracker) : 0.0f;
}
