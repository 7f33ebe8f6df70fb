#pragma once

#include <juce_core/juce_core.h>

/**
    Decides on which samples the ticks of the click track fall.

    Ticks lie on a grid anchored at the last tick before the most recent change
    of spacing: tick k after the anchor falls at floor (k * samplesPerTick), so a
    fractional spacing (97 BPM at 44.1 kHz is 27278.35 samples) neither drifts
    nor accumulates rounding, however long the clock runs. Any number of ticks
    may fall in one block.

    Used on the audio thread only; it allocates nothing.
*/
class BeatClock
{
public:
    /** Restarts the bar: the next block begins with the downbeat at its first sample. */
    void reset() noexcept;

    /** Sets the exact spacing of ticks in samples. A different spacing anchors the
        grid on the last tick; the same spacing leaves the grid as it is. */
    void setSamplesPerTick (double exactSamplesPerTick) noexcept;

    /** Advances the clock over a block of numSamples and calls
        onTick (int offset, bool startsBar) for each tick in the block, in order.

        The offset of the first tick may be negative: after a change to a shorter
        spacing, a tick that is already due is reported with how many samples ago
        it fell on the grid. Ticks more than one spacing overdue are skipped, so
        the clock never falls behind. startsBar is true only for the downbeat
        that follows reset().
    */
    template <typename TickCallback>
    void advance (int numSamples, TickCallback&& onTick)
    {
        if (downbeatPending)
        {
            downbeatPending = false;
            ticksSinceAnchor = 0;
            samplesSinceTick = 0;
            onTick (0, true);
        }

        for (;;)
        {
            auto offset = intervalAfterTick (ticksSinceAnchor) - samplesSinceTick;

            // Skip the ticks that the one after them has already overtaken.
            while (offset + intervalAfterTick (ticksSinceAnchor + 1) <= 0)
                offset += intervalAfterTick (++ticksSinceAnchor);

            if (offset >= numSamples)
                break;

            ++ticksSinceAnchor;
            samplesSinceTick = -offset;
            onTick (offset, false);
        }

        samplesSinceTick += numSamples;
    }

    /** Samples from the last tick to the start of the next block. */
    int getSamplesSinceTick() const noexcept    { return samplesSinceTick; }

    double getSamplesPerTick() const noexcept   { return samplesPerTick; }

private:
    /** Samples between grid tick k and grid tick k + 1. */
    int intervalAfterTick (juce::int64 k) const noexcept;

    double samplesPerTick = 1.0;
    juce::int64 ticksSinceAnchor = 0;
    int samplesSinceTick = 0;
    bool downbeatPending = true;
};
