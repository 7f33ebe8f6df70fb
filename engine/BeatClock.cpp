#include "BeatClock.h"

#include <cmath>

void BeatClock::reset() noexcept
{
    downbeatPending = true;
    ticksSinceAnchor = 0;
    samplesSinceTick = 0;
}

void BeatClock::setSamplesPerTick (double exactSamplesPerTick) noexcept
{
    // A tick every sample is the densest grid a block can carry.
    const auto spacing = std::isfinite (exactSamplesPerTick) ? juce::jmax (1.0, exactSamplesPerTick) : 1.0;

    if (spacing != samplesPerTick)
    {
        samplesPerTick = spacing;
        ticksSinceAnchor = 0;
    }
}

int BeatClock::intervalAfterTick (juce::int64 k) const noexcept
{
    return (int) (std::floor ((double) (k + 1) * samplesPerTick) - std::floor ((double) k * samplesPerTick));
}
