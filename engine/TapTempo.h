#pragma once

#include <juce_core/juce_core.h>
#include <array>
#include <optional>

/**
    Turns taps on the TAP button into a tempo.

    Keeps the most recent tap intervals in a ring and reads the tempo from their
    lower median, so one hesitant or doubled tap does not throw the tempo off.
    A pause of more than three seconds starts a new series.
*/
class TapTempo
{
public:
    /** Records a tap made at the given millisecond-counter time. Returns the
        tempo in BPM when the series yields one between 20 and 400. */
    std::optional<float> tap (juce::uint32 nowMilliseconds);

    /** The number of intervals stored since the series began. */
    int getTapCount() const noexcept    { return tapCount; }

    static constexpr int ringSize = 11;
    static constexpr float seriesTimeoutMs = 3000.0f;
    static constexpr float shortestIntervalMs = 150.0f;   // 400 BPM

private:
    float lowerMedian() const;

    std::array<float, ringSize> tapIntervals {};
    int tapCount = 0;
    juce::uint32 lastTapTime = 0;
};
