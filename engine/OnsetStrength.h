#pragma once

#include <juce_core/juce_core.h>
#include <memory>
#include <vector>

/**
    How sharply the sound rises in each hop of the input: the onset strength
    that LISTEN finds the beat in.

    The spectrum of each hop is gathered into bands a third of an octave wide,
    each band's magnitude is taken relative to the recent loudness of the input
    and compressed logarithmically, and the strength is the sum of the bands'
    rises over the last few hops. Taken relative to the input's own loudness, the
    strength is the same for music at full level and at -50 dBFS; silence gives
    none.

    Construction allocates; process() allocates nothing.
*/
class OnsetStrength
{
public:
    OnsetStrength (double sampleRate, int hopSize);
    ~OnsetStrength();

    bool isValid() const noexcept       { return analysis != nullptr; }

    /** Takes exactly one hop of samples. */
    void process (const float* hop) noexcept;

    /** The rise of the whole spectrum over the last hop. */
    float getStrength() const noexcept      { return strength; }

private:
    struct Analysis;   // aubio's phase vocoder and the spectrum it writes

    int hopSize;
    std::unique_ptr<Analysis> analysis;

    std::vector<int> firstBinOfBand;   // one more entry than bands: the end of the last
    std::vector<float> bandEnergy, compressed;

    // The compressed bands of the hops before this one, a ring of pastHops spectra.
    static constexpr int pastHops = 4;
    std::vector<float> pastCompressed;
    int newestPast = 0;

    float loudness = 0.0f;   // follows the mean band energy: quickly up, slowly down
    float attack = 0.0f, release = 0.0f;
    float strength = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OnsetStrength)
};
