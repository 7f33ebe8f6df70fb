#pragma once

#include "OnsetStrength.h"

#include <juce_core/juce_core.h>
#include <array>
#include <vector>

/**
    Follows the tempo of the music at the input, and where its beats fall.

    Whatever the device's block size, the input is analysed in hops of about
    5.8 ms (256 samples at 44.1 kHz), gathered in a preallocated FIFO, so
    LISTEN behaves the same on every device. Each hop gives an onset strength
    (OnsetStrength); the strength's autocorrelation, weighted toward the last
    few seconds, says how periodic the music is at every beat period.

    Music is periodic at several metrical levels at once: the beat, half and
    twice it, and in compound time two and three beats. The candidate periods
    are the autocorrelation's peaks, and the beat is chosen among them on the
    evidence: how periodic the music is at each, whether the point half-way
    between two candidate beats is as strong as the beat (then the beat is
    twice as fast), how the bass and kick drum repeat, and a broad preference
    for tempi a musician plays. Once locked, the estimate keeps its level until
    another level is clearly and lastingly better, and follows a new tempo
    within a few seconds.

    The gate is the beat's clarity, not the input's level: a candidate is
    published only when the music is plainly periodic at it and it has held
    for a while, and while there are onsets at all. Silence, hum and noise at
    any level carry no periodicity or no onsets, so nothing is adopted from
    them; the onset strength is relative to the input's loudness, so quiet
    music is heard as well as loud.

    The beat's phase is tracked too: getLastBeat() says at which input sample
    the latest beat fell, counted from the first sample processed.

    Construction allocates; process() allocates nothing and is for the audio
    thread only.
*/
class TempoDetector
{
public:
    explicit TempoDetector (double sampleRate);

    /** False if the spectral analysis could not be created for this rate. */
    bool isValid() const noexcept               { return onsets.isValid(); }

    /** Takes the next samples of the input. */
    void process (const float* samples, int numSamples) noexcept;

    /** The tempo in BPM, or 0 while the input carries no clear beat. */
    float getEstimate() const noexcept          { return estimate; }

    /** The input sample, counted from the first one processed, on which the
        latest beat of the music fell; meaningful while getBeatPeriod() is not 0. */
    double getLastBeat() const noexcept         { return lastBeat; }

    /** The samples between the music's beats; 0 while there is no estimate or
        too few of its beats have been heard to say where they fall. */
    double getBeatPeriod() const noexcept       { return estimate > 0.0f && phaseKnown ? beatPeriodSamples : 0.0; }

    /** Samples taken so far. */
    juce::int64 getSamplesProcessed() const noexcept    { return samplesProcessed; }

    static int hopSizeFor (double sampleRate) noexcept;

    /** LISTEN's rule: an estimate becomes the tempo only strictly between 50 and 240 BPM. */
    static bool isAdoptableEstimate (float bpm) noexcept    { return 50.0f < bpm && bpm < 240.0f; }

    /** Periodicity at the beat below which nothing is published. */
    static constexpr float minimumClarity = 0.2f;

private:
    struct Candidate
    {
        double period = 0.0;    // in hops
        float score = 0.0f;
    };

    void analyseHop() noexcept;
    void updateAutocorrelation() noexcept;
    void decide() noexcept;
    void findPeaks() noexcept;
    void rememberLevels() noexcept;
    float periodicity (double period) const noexcept;
    float periodicityAround (double period) const noexcept;
    double refinePeak (double period) const noexcept;
    double precisePeriod (int lag) const noexcept;
    struct SubBeats
    {
        float half = 0.0f;      // the strength half-way between beats, relative to the beat's
        float thirds = 0.0f;    // the weaker of the strengths a third and two thirds of the way
    };

    SubBeats subBeats (double period) const noexcept;
    float scoreOf (double period) const noexcept;
    void lockOnto (const Candidate& best) noexcept;
    void trackPhase() noexcept;

    double bpmOf (double period) const noexcept     { return 60.0 / (period * hopSeconds); }
    double periodOf (double bpm) const noexcept     { return 60.0 / (bpm * hopSeconds); }
    float strengthAt (double hopsAgo) const noexcept;

    int hopSize;
    double hopSeconds;
    OnsetStrength onsets;

    juce::HeapBlock<float> hop;
    int filled = 0;
    juce::int64 samplesProcessed = 0;
    juce::int64 hopsProcessed = 0;

    // The last hops' onset strengths, raw and with their running mean taken off.
    static constexpr int historySize = 2048;
    std::array<float, historySize> strengths {}, detrended {};
    float meanStrength = 0.0f, meanCoefficient = 0.0f;
    float activity = 0.0f, activityCoefficient = 0.0f;     // the mean strength over the last seconds
    static constexpr float minimumActivity = 0.05f;

    int maxLag = 0;
    float decay = 1.0f;
    std::vector<float> allLags;     // the autocorrelation, lag 0 first

    int hopsPerDecision = 8;
    std::vector<Candidate> candidates;
    std::vector<float> levelScores;   // each period's score, averaged over the last seconds
    float levelDecay = 1.0f;

    double lockedPeriod = 0.0;      // in hops; 0 while nothing is locked
    int hopsLocked = 0;             // how long the locked level has held
    int hopsChallenged = 0;         // how long another level has been better
    double challenger = 0.0;
    int hopsSteady = 0;             // how long the best candidate has stayed where it is

    float estimate = 0.0f;
    double beatPeriodSamples = 0.0;
    double lastBeat = 0.0;
    bool phaseKnown = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TempoDetector)
};
