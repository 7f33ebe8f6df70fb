#include "BeatAligner.h"

#include <cmath>

bool BeatAligner::follows (double nominalSpacing, float ticksPerBeat, const MusicBeats& music) noexcept
{
    if (music.period <= 0.0 || nominalSpacing <= 0.0 || ticksPerBeat <= 0.0f)
        return false;

    return std::abs (music.period / (double) ticksPerBeat - nominalSpacing) <= 0.04 * nominalSpacing;
}

double BeatAligner::spacingToNextTick (double tickTime, double nominalSpacing, float ticksPerBeat,
                                       int nextTickInBeat, const MusicBeats& music) noexcept
{
    if (! follows (nominalSpacing, ticksPerBeat, music))
        return nominalSpacing;

    const auto tickPeriod = music.period / (double) ticksPerBeat;

    // Whole subdivisions of the beat: the beat's own ticks go on the music's beats.
    // Otherwise (a tick every two beats, triplets over an eighth-note beat) the
    // ticks go on a grid of their own spacing that passes through the music's beats.
    const bool wholeSubdivision = ticksPerBeat >= 1.0f && std::abs (ticksPerBeat - std::round (ticksPerBeat)) < 1.0e-3f;
    const auto step = wholeSubdivision ? music.period : tickPeriod;
    const auto share = wholeSubdivision ? (double) (nextTickInBeat % (int) std::round (ticksPerBeat)) / (double) ticksPerBeat : 0.0;

    const auto wanted = tickTime + nominalSpacing;
    const auto steps = std::round ((wanted - music.lastBeat) / step - share);
    const auto target = music.lastBeat + (steps + share) * step;

    return juce::jlimit ((1.0 - maximumCorrection) * nominalSpacing, (1.0 + maximumCorrection) * nominalSpacing,
                         target - tickTime);
}
