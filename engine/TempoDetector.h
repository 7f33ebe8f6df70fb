#pragma once

#include <juce_core/juce_core.h>
#include <array>

struct _aubio_tempo_t;

/**
    Follows the tempo of the music at the input with aubio's beat tracker.

    Whatever the device's block size, the tracker is fed frames of one fixed hop
    of about 11.6 ms (512 samples at 44.1 kHz), gathered in a preallocated FIFO,
    so LISTEN behaves the same on every device. The estimate is taken from the
    tracker's beat period with its bias of half a hop removed (aubio reports a
    period that is on average half a hop short, which reads about 1 % fast).
    While the input carries no beat the estimate is 0, so nothing follows
    silence or noise: the input must be audible, and either aubio must be
    confident of its period or the input must be plainly rhythmic, its loudest
    hops standing well out from the typical one, as drums and plucked notes do
    and noise never does. aubio's confidence takes about 4.5 s to build; the
    crest lets a clear beat lock after aubio's first estimate, about 1.5 s.

    Construction allocates; process() allocates nothing and is for the audio
    thread only.
*/
class TempoDetector
{
public:
    explicit TempoDetector (double sampleRate);
    ~TempoDetector();

    /** False if aubio could not create a tracker for this rate. */
    bool isValid() const noexcept               { return tracker != nullptr; }

    /** Takes the next samples of the input. */
    void process (const float* samples, int numSamples) noexcept;

    /** The tempo in BPM, or 0 while the input carries no beat. */
    float getEstimate() const noexcept          { return estimate; }

    /** aubio's own reading, uncorrected, and its confidence (for measurement). */
    float getRawBpm() const noexcept;
    float getConfidence() const noexcept;

    /** How much the loudest recent hop stands out from the typical one. */
    float getCrest() const noexcept             { return crest; }

    static int hopSizeFor (double sampleRate) noexcept;

    /** LISTEN's rule: an estimate becomes the tempo only strictly between 50 and 240 BPM. */
    static bool isAdoptableEstimate (float bpm) noexcept    { return 50.0f < bpm && bpm < 240.0f; }

    static constexpr float minimumLevelDb = -50.0f;
    static constexpr float minimumConfidence = 0.15f;
    static constexpr float minimumCrest = 4.0f;

private:
    void analyseHop() noexcept;
    void measureCrest (float hopEnergy) noexcept;

    double sampleRate;
    int hopSize;
    _aubio_tempo_t* tracker = nullptr;
    juce::HeapBlock<float> hop;
    int filled = 0;

    float loudness = 0.0f;   // a slow mean square of the input
    float estimate = 0.0f;

    // The energy of the last hops, about as long as aubio takes between estimates.
    std::array<float, 128> recentEnergy {};
    size_t nextEnergy = 0;
    float crest = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TempoDetector)
};
