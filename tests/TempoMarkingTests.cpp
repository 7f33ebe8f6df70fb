#include "panel/TempoMarkings.h"

#include <gtest/gtest.h>

namespace
{
    juce::String nameFor (float bpm)
    {
        int lowest = 0;
        return TempoMarkings::getTempoMarking (TempoMarkings::indexForBpm (bpm), lowest).value_or ("(none)");
    }
}

TEST (TempoMarkings, EachTempoIsNamedByTheRangeItFallsIn)
{
    EXPECT_EQ (nameFor (20), "Larghissimo");
    EXPECT_EQ (nameFor (24), "Larghissimo");
    EXPECT_EQ (nameFor (25), "Grave");
    EXPECT_EQ (nameFor (107), "Andantino");
    EXPECT_EQ (nameFor (108), "Moderato");
    EXPECT_EQ (nameFor (119.9f), "Allegretto");
    EXPECT_EQ (nameFor (120.0f), "Allegro");
    EXPECT_EQ (nameFor (199), "Presto");
    EXPECT_EQ (nameFor (200), "Prestissimo");
    EXPECT_EQ (nameFor (400), "Prestissimo");

    EXPECT_EQ (TempoMarkings::indexForBpm (19.9f), 0);
    EXPECT_EQ (TempoMarkings::indexForBpm (std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ (TempoMarkings::indexForBpm (std::numeric_limits<float>::infinity()), 13);
}

TEST (TempoMarkings, EveryMarkingLeadsBackToItself)
{
    int previousLowest = 0;

    for (int index = 1; index <= TempoMarkings::numMarkings; ++index)
    {
        int lowest = -1;
        ASSERT_TRUE (TempoMarkings::getTempoMarking (index, lowest).has_value());
        EXPECT_GT (lowest, previousLowest);
        EXPECT_EQ (TempoMarkings::indexForBpm ((float) lowest), index);
        previousLowest = lowest;
    }

    int lowest = 0;
    EXPECT_EQ (TempoMarkings::getTempoMarking (3, lowest), juce::String ("Largo"));
    EXPECT_EQ (lowest, 40);
    EXPECT_EQ (TempoMarkings::getTempoMarking (13, lowest), juce::String ("Prestissimo"));
    EXPECT_EQ (lowest, 200);
}

TEST (TempoMarkings, IndicesOutsideTheTableGiveNothingAndTouchNothing)
{
    for (const int index : { 0, 14, -1 })
    {
        int lowest = 12345;
        EXPECT_FALSE (TempoMarkings::getTempoMarking (index, lowest).has_value());
        EXPECT_EQ (lowest, 12345);
    }
}
