#pragma once

/**
    The musical choices that the engine, the panel and tocksley-cli share, in
    the order of their parameter values: each is defined here only.
*/
namespace MeterTables
{
    constexpr float minBpm = 20.0f;
    constexpr float maxBpm = 400.0f;

    /** The beat's note value for "beatsValueIndex" 0, 1, 2. */
    constexpr int beatValues[] = { 2, 4, 8 };
    constexpr int numBeatValues = 3;

    /** The subdivision's note value for "subDivIndex" 0..4; 12 is the triplet eighth. */
    constexpr int subdivisionNoteValues[] = { 2, 4, 8, 12, 16 };
    constexpr const char* subdivisionNames[] = { "1/2 Notes", "1/4 Notes", "1/8 Notes", "Triplets", "1/16 Notes" };
    constexpr int numSubdivisions = 5;

    /** The sound packs for "sound" 0..2. */
    constexpr const char* soundPackNames[] = { "Classic", "Drum", "Techno" };
    constexpr int numSoundPacks = 3;

    /** The beats per bar the panel offers. */
    constexpr int panelMinBeatsPerBar = 2;
    constexpr int panelMaxBeatsPerBar = 8;

    /** The most beats a bar can hold. */
    constexpr int maxBeatsPerBar = 64;
}
