#include "OnsetStrength.h"

#include <aubio/aubio.h>
#include <cmath>

namespace
{
    constexpr double lowestBandHz = 40.0;
    constexpr double highestBandHz = 16000.0;

    // A band's magnitude is compressed around a tenth of the input's loudness:
    // the fluttering tails of notes 40 dB down count for little, the rise of a
    // hi-hat over a loud mix still counts.
    constexpr float compression = 10.0f;

    // A band counts at most 20 dB above the input's loudness.
    constexpr float loudestBand = 100.0f;

    // A steady tone wobbles by a few per cent from hop to hop where the window
    // holds only a cycle or two of it (mains hum); rises that small are no onsets.
    constexpr float steadyWobble = 0.05f;

    float coefficientFor (double seconds, double hopSeconds)
    {
        return (float) (1.0 - std::exp (-hopSeconds / seconds));
    }
}

struct OnsetStrength::Analysis
{
    Analysis (aubio_pvoc_t* vocoder, int windowSize)
        : phaseVocoder (vocoder), spectrum (new_cvec ((uint_t) windowSize)) {}

    ~Analysis()
    {
        del_cvec (spectrum);
        del_aubio_pvoc (phaseVocoder);
    }

    aubio_pvoc_t* phaseVocoder;
    cvec_t* spectrum;
};

OnsetStrength::OnsetStrength (double sampleRate, int hop)
    : hopSize (hop)
{
    const auto windowSize = 4 * hopSize;

    if (auto* vocoder = new_aubio_pvoc ((uint_t) windowSize, (uint_t) hopSize))
        analysis = std::make_unique<Analysis> (vocoder, windowSize);
    else
        return;

    const auto numBins = windowSize / 2 + 1;
    const auto binOf = [&] (double hz) { return juce::jlimit (1, numBins, (int) std::lround (hz * windowSize / sampleRate)); };
    const auto top = juce::jmin (highestBandHz, 0.45 * sampleRate);

    // Third-octave bands; where a third of an octave is narrower than a bin, a band is one bin.
    firstBinOfBand.push_back (binOf (lowestBandHz));

    for (auto edge = lowestBandHz * std::pow (2.0, 1.0 / 3.0); edge <= top; edge *= std::pow (2.0, 1.0 / 3.0))
    {
        const auto bin = juce::jmax (binOf (edge), firstBinOfBand.back() + 1);

        if (bin >= numBins)
            break;

        firstBinOfBand.push_back (bin);
    }

    const auto numBands = firstBinOfBand.size() - 1;
    bandEnergy.assign (numBands, 0.0f);
    compressed.assign (numBands, 0.0f);
    pastCompressed.assign (numBands * (size_t) pastHops, 0.0f);

    const auto hopSeconds = hopSize / sampleRate;
    attack = coefficientFor (0.05, hopSeconds);
    release = coefficientFor (3.0, hopSeconds);
}

OnsetStrength::~OnsetStrength() = default;

void OnsetStrength::process (const float* hop) noexcept
{
    if (analysis == nullptr)
        return;

    // aubio reads exactly one hop from the frame and does not write to it.
    const fvec_t input { (uint_t) hopSize, const_cast<float*> (hop) };
    aubio_pvoc_do (analysis->phaseVocoder, &input, analysis->spectrum);
    const auto* magnitude = analysis->spectrum->norm;

    float meanEnergy = 0.0f;

    for (size_t band = 0; band < bandEnergy.size(); ++band)
    {
        float energy = 0.0f;

        for (auto bin = firstBinOfBand[band]; bin < firstBinOfBand[band + 1]; ++bin)
            energy += magnitude[bin] * magnitude[bin];

        bandEnergy[band] = energy;
        meanEnergy += energy;
    }

    meanEnergy /= (float) bandEnergy.size();
    strength = 0.0f;

    // The first sound sets the scale and is no onset: the input was not silent
    // before it, only unheard.
    const bool firstSound = loudness <= 0.0f;
    loudness = firstSound ? meanEnergy : loudness + (meanEnergy - loudness) * (meanEnergy > loudness ? attack : release);

    if (loudness <= 0.0f)
        return;

    const auto numBands = bandEnergy.size();
    std::copy (compressed.begin(), compressed.end(), pastCompressed.begin() + (std::ptrdiff_t) (newestPast * numBands));

    // Sound after a long silence is measured against a loudness that has died
    // away; its rise is bounded, or that one onset would outweigh all others.
    for (size_t band = 0; band < numBands; ++band)
        compressed[band] = std::log1p (compression * std::sqrt (juce::jmin (loudestBand, bandEnergy[band] / loudness)));

    if (firstSound)
        for (int ago = 0; ago < pastHops; ++ago)
            std::copy (compressed.begin(), compressed.end(), pastCompressed.begin() + (std::ptrdiff_t) ((size_t) ago * numBands));

    // The rise against the loudest of the neighbouring bands two to four hops
    // earlier: an onset spread over two hops counts whole, a vibrato's glide
    // counts not at all, and nor does the beating of a steady low tone's
    // partials (mains hum beats at 50 or 60 Hz, within three hops).
    for (size_t band = 0; band < numBands; ++band)
    {
        auto before = 0.0f;

        for (int ago = 2; ago <= pastHops; ++ago)
        {
            const auto* past = pastCompressed.data() + ((size_t) (newestPast + pastHops + 1 - ago) % (size_t) pastHops) * numBands;
            before = juce::jmax (before, past[band > 0 ? band - 1 : 0], past[band], past[juce::jmin (numBands - 1, band + 1)]);
        }

        strength += juce::jmax (0.0f, compressed[band] - before - steadyWobble);
    }

    newestPast = (newestPast + 1) % pastHops;
}
