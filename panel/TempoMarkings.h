#pragma once

#include <juce_core/juce_core.h>
#include <optional>

/**
    The 13 Italian tempo markings that name the tempo ranges, Larghissimo to
    Prestissimo, each with the lowest BPM it names. Indices run from 1 to 13 and
    double as the item ids of the panel's marking selector.
*/
struct TempoMarkings
{
    static constexpr int numMarkings = 13;

    /** The marking's name for an index 1..13, storing its lowest BPM in lowestBpm;
        nothing for any other index, lowestBpm left untouched. */
    static std::optional<juce::String> getTempoMarking (int index, int& lowestBpm);

    /** The index of the marking that names a tempo: the last one whose lowest BPM
        is at most the tempo's whole part, so 119.9 is still Allegretto. 0 if none. */
    static int indexForBpm (float bpm) noexcept;
};
