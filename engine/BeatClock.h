#pragma once

#include <juce_core/juce_core.h>

/**
    Decides on which samples the ticks of the click track fall.

    Ticks lie on a grid anchored at a tick: tick k after the anchor falls at
    floor (phase + k * samplesPerTick) samples after the anchor's whole sample,
    where phase is the fraction of a sample at which the anchor exactly lies.
    A fractional spacing (97 BPM at 44.1 kHz is 27278.35 samples) therefore
    neither drifts nor accumulates rounding, however long the clock runs, and a
    tempo that changes at a bar line starts from the bar's exact position. Any
    number of ticks may fall in one block.

    Used on the audio thread only; it allocates nothing.
*/
class BeatClock
{
public:
    /** Samples between ticks for a tempo and a number of ticks per beat. */
    static double exactSamplesPerTick (float sampleRate, float bpm, float ticksPerBeat) noexcept
    {
        return (double) sampleRate * 60.0 / ((double) bpm * (double) ticksPerBeat);
    }

    /** Restarts the bar: the next block begins with the downbeat at its first sample. */
    void reset() noexcept;

    /** Carries on from a tick that sounded samplesSinceTick samples before the next
        block, placed by another clock: the next tick follows it at the spacing set. */
    void resumeAfterTick (int samplesSinceLastTick) noexcept;

    /** Sets the spacing of ticks in samples between blocks. A different spacing
        anchors the grid on the last tick; if the next tick on that grid has
        already passed, it falls at the start of the next block and the grid runs
        from there. The same spacing leaves the grid as it is. */
    void setSamplesPerTick (double exactSamplesPerTick) noexcept;

    /** From inside onTick: the ticks after the one just reported are this far
        apart, counted from that tick's exact position on the grid. */
    void respaceFromLastTick (double exactSamplesPerTick) noexcept;

    /** Advances the clock over a block of numSamples and calls
        onTick (int offset, bool startsBar) for each tick in the block, in order,
        with offset in 0..numSamples-1. startsBar is true only for the downbeat
        that follows reset().
    */
    template <typename TickCallback>
    void advance (int numSamples, TickCallback&& onTick)
    {
        if (downbeatPending)
        {
            downbeatPending = false;
            anchorAt (0.0);
            samplesSinceTick = 0;
            onTick (0, true);
        }

        for (;;)
        {
            auto offset = intervalAfterTick (ticksSinceAnchor) - samplesSinceTick;

            if (offset < 0)
            {
                // Overdue after a change of spacing: sound now, and run the new grid from here.
                anchorAt (0.0);
                offset = 0;
            }
            else
            {
                if (offset >= numSamples)
                    break;

                ++ticksSinceAnchor;
            }

            samplesSinceTick = -offset;
            onTick (offset, false);
        }

        samplesSinceTick += numSamples;
    }

    /** Samples from the last tick to the start of the next block. */
    int getSamplesSinceTick() const noexcept    { return samplesSinceTick; }

    double getSamplesPerTick() const noexcept   { return samplesPerTick; }

private:
    static double validSpacing (double spacing) noexcept;

    /** Samples between grid tick k and grid tick k + 1. */
    int intervalAfterTick (juce::int64 k) const noexcept;

    void anchorAt (double phaseOfAnchor) noexcept   { phase = phaseOfAnchor; ticksSinceAnchor = 0; }

    double samplesPerTick = 1.0;
    double phase = 0.0;
    juce::int64 ticksSinceAnchor = 0;
    int samplesSinceTick = 0;
    bool downbeatPending = true;
};
