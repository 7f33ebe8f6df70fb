#pragma once

#include <juce_core/juce_core.h>

struct _aubio_tempo_t;

/**
    Follows the tempo of the music at the input with aubio's beat tracker.

    Whatever the device's block size, the tracker is fed frames of one fixed hop
    of about 11.6 ms (512 samples at 44.1 kHz), gathered in a preallocated FIFO,
    so LISTEN behaves the same on every device. The estimate is taken from the
    tracker's beat period with its bias of half a hop removed (aubio reports a
    period that is on average half a hop short, which reads about 1 % fast).
    While the input carries no beat — too quiet, or without a confident
    periodicity — the estimate is 0, so nothing follows silence or noise.

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

    static int hopSizeFor (double sampleRate) noexcept;

    static constexpr float minimumLevelDb = -50.0f;
    static constexpr float minimumConfidence = 0.15f;

private:
    void analyseHop() noexcept;

    double sampleRate;
    int hopSize;
    _aubio_tempo_t* tracker = nullptr;
    juce::HeapBlock<float> hop;
    int filled = 0;

    float loudness = 0.0f;   // a slow mean square of the input
    float estimate = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TempoDetector)
};
