#include "BeatClock.h"

#include <cmath>

void BeatClock::reset() noexcept
{
    downbeatPending = true;
    anchorAt (0.0);
    samplesSinceTick = 0;
}

void BeatClock::resumeAfterTick (int samplesSinceLastTick) noexcept
{
    downbeatPending = false;
    anchorAt (0.0);
    samplesSinceTick = juce::jmax (0, samplesSinceLastTick);
}

double BeatClock::validSpacing (double spacing) noexcept
{
    // A tick every sample is the densest grid a block can carry.
    return std::isfinite (spacing) ? juce::jmax (1.0, spacing) : 1.0;
}

void BeatClock::setSamplesPerTick (double exactSamplesPerTick) noexcept
{
    const auto spacing = validSpacing (exactSamplesPerTick);

    if (spacing != samplesPerTick)
    {
        samplesPerTick = spacing;
        anchorAt (0.0);
    }
}

void BeatClock::respaceFromLastTick (double exactSamplesPerTick) noexcept
{
    const auto spacing = validSpacing (exactSamplesPerTick);

    if (spacing == samplesPerTick)
        return;

    // The last tick lies exactly at phase + k * spacing; its whole sample is where it sounded.
    const auto exactPosition = phase + (double) ticksSinceAnchor * samplesPerTick;
    samplesPerTick = spacing;
    anchorAt (exactPosition - std::floor (exactPosition));
}

int BeatClock::intervalAfterTick (juce::int64 k) const noexcept
{
    return (int) (std::floor (phase + (double) (k + 1) * samplesPerTick) - std::floor (phase + (double) k * samplesPerTick));
}
