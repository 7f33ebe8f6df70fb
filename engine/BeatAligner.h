#pragma once

#include <juce_core/juce_core.h>

/**
    Places the clicks on the beats of the music that LISTEN hears (SYNC).

    The music's beats are a grid: the sample of its latest beat and the
    samples between beats, in the clock's own count of samples. At each tick
    the aligner chooses the spacing to the next tick so that the next tick
    falls on the grid: a tick that starts a beat on a beat of the music, the
    ticks between beats at their share of the beat. A tick that would move by
    more than a quarter of its spacing moves a quarter now and the rest at the
    ticks after it, so no tick is ever doubled, dropped or placed closer than
    three quarters of a tick to the one before. When the clicks do not play at
    the music's tempo (it has not been adopted yet), the spacing stays as it is.

    Allocation-free; for the audio thread.
*/
class BeatAligner
{
public:
    struct MusicBeats
    {
        double lastBeat = 0.0;      // in the clock's samples
        double period = 0.0;        // samples between beats; 0 while the music has none
    };

    /** Whether the clicks play at the music's tempo, so that the aligner places them. */
    static bool follows (double nominalSpacing, float ticksPerBeat, const MusicBeats& music) noexcept;

    /** The spacing from the tick at tickTime to the next one, which is tick
        nextTickInBeat (0-based) of the ticksPerBeat in its beat. */
    static double spacingToNextTick (double tickTime, double nominalSpacing, float ticksPerBeat,
                                     int nextTickInBeat, const MusicBeats& music) noexcept;

    /** How far a spacing may be stretched or shrunk at one tick. */
    static constexpr double maximumCorrection = 0.25;
};
