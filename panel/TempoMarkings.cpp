#include "TempoMarkings.h"

namespace
{
    struct Marking
    {
        const char* name;
        int lowestBpm;
    };

    constexpr Marking markings[TempoMarkings::numMarkings] = {
        { "Larghissimo", 20 }, { "Grave", 25 },      { "Largo", 40 },      { "Lento", 45 },
        { "Larghetto", 60 },   { "Adagio", 66 },     { "Andante", 76 },    { "Andantino", 80 },
        { "Moderato", 108 },   { "Allegretto", 112 }, { "Allegro", 120 },  { "Presto", 168 },
        { "Prestissimo", 200 },
    };
}

std::optional<juce::String> TempoMarkings::getTempoMarking (int index, int& lowestBpm)
{
    if (index < 1 || index > numMarkings)
        return std::nullopt;

    const auto& marking = markings[index - 1];
    lowestBpm = marking.lowestBpm;
    return juce::String (marking.name);
}

int TempoMarkings::indexForBpm (float bpm) noexcept
{
    // Cut the fraction first; a tempo that is not a number names nothing.
    if (! (bpm >= (float) markings[0].lowestBpm))
        return 0;

    const auto wholeBpm = (int) juce::jmin (bpm, 1.0e6f);

    for (int index = numMarkings; index >= 1; --index)
        if (markings[index - 1].lowestBpm <= wholeBpm)
            return index;

    return 0;
}
