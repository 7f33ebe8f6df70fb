#pragma once

#include "LinkSession.h"

#include <cmath>
#include <limits>
#include <utility>

/**
    Decides on which samples the ticks fall while the clicks play in a Link
    session: on the session's own beats, so that every peer hears them together.

    Each tick has its place on the session's beat timeline, a whole number of
    ticks from the beat it started on, and sounds on the first sample at or
    after that place. Because the places are counted in beats, not samples, a
    tempo changed by any peer moves the ticks with the session's beats, and no
    tick is doubled or dropped. A run starts on the session's next beat, as that
    beat of the bar (the session's bar: quantum beats from its beat 0), so that
    beat 1 falls on the session's bar however late the clicks join. When the
    session's timeline jumps (two sessions merge, a peer moves the beat) so far
    that a tick would come less than half a tick after the last or more than a
    tick and a half, the run starts again on the next beat.

    Used on the audio thread only; it allocates nothing.
*/
class LinkBeatClock
{
public:
    /** The next tick starts a run at the session's next beat; until then, silence. */
    void launch() noexcept
    {
        launching = true;
        lastTickBeat = -std::numeric_limits<double>::infinity();
    }

    bool isLaunching() const noexcept       { return launching; }

    /** Advances over a block and calls onTick (int offset, bool startsRun, int beatInBar)
        for each tick in it, offset in 0..numSamples-1; beatInBar (0-based) says where
        in the session's bar a run starts. onTick returns how many beats away the tick
        after it lies. */
    template <typename TickCallback>
    void advance (const LinkSession::Block& block, int numSamples, int quantum, TickCallback&& onTick)
    {
        samplesSinceTick += numSamples;

        if (! (block.beatsPerSample > 0.0) || ! std::isfinite (block.beatAtStart) || numSamples <= 0)
            return;

        const auto sampleOfBeat = [&] (double beat) { return (beat - block.beatAtStart) / block.beatsPerSample; };

        // Where the last tick lies on the session's timeline as it is now.
        lastTickBeat += block.beatAtStart - expectedBeatAtStart;
        expectedBeatAtStart = block.beatAtStart + block.beatsPerSample * numSamples;

        if (! launching && ! keepsSpacing())
            launching = true;

        if (launching)
        {
            // The next beat, and none closer than half a tick to the last.
            nextTickBeat = std::ceil (juce::jmax (block.beatAtStart, lastTickBeat + 0.5 * beatsPerTick) - 1.0e-9);

            if (! (sampleOfBeat (nextTickBeat) < (double) numSamples))
                return;

            launching = false;
            startsRun = true;
        }

        for (;;)
        {
            const auto position = sampleOfBeat (nextTickBeat);

            if (! (position < (double) numSamples))
                break;

            // A tick a fraction of a sample late (the session's clock is smoothed) sounds at once.
            const auto offset = juce::jlimit (0, numSamples - 1, (int) std::ceil (position - 1.0e-6));
            samplesSinceTick = numSamples - offset;

            const auto beatInBar = beatInBarOf (nextTickBeat, quantum);
            const auto beatsToNext = (double) onTick (offset, std::exchange (startsRun, false), beatInBar);
            beatsPerTick = juce::jmax (minimumBeatsPerTick, beatsToNext);
            lastTickBeat = nextTickBeat;
            nextTickBeat += beatsPerTick;
        }
    }

    /** Samples from the last tick to the start of the next block. */
    int getSamplesSinceTick() const noexcept    { return samplesSinceTick; }

private:
    static int beatInBarOf (double beat, int quantum) noexcept
    {
        const auto q = (double) juce::jmax (1, quantum);
        return juce::jlimit (0, juce::jmax (1, quantum) - 1, (int) std::floor (beat - std::floor (beat / q) * q + 1.0e-9));
    }

    /** Whether the next tick still lies between half a tick and a tick and a half
        after the last one, as it does unless the session's beat jumped: a tempo
        change moves no beat. */
    bool keepsSpacing() const noexcept
    {
        const auto spacing = nextTickBeat - lastTickBeat;
        return spacing >= 0.5 * beatsPerTick && spacing <= 1.5 * beatsPerTick;
    }

    /** A tick every sample at 400 BPM, 64 ticks a beat and 1 MHz is far denser than this. */
    static constexpr double minimumBeatsPerTick = 1.0e-6;

    double nextTickBeat = 0.0;
    double lastTickBeat = -std::numeric_limits<double>::infinity();
    double beatsPerTick = 1.0;
    double expectedBeatAtStart = 0.0;
    int samplesSinceTick = 0;
    bool launching = true;
    bool startsRun = false;
};
