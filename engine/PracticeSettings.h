#pragma once

#include "MeterTables.h"

#include <juce_data_structures/juce_data_structures.h>
#include <array>
#include <optional>

/** How loud one beat of the bar plays. */
enum class BeatLevel : juce::uint8
{
    accent,    // the pack's accent sample
    normal,    // the click sample
    soft,      // the click sample at a quarter of its amplitude
    silent     // nothing, though the beat still counts
};

/**
    The practice features: the bar's accent pattern, a count-in, the speed
    trainer and the gap click. Plain values, copied whole to the audio thread.

    Every feature is off by default; with all of them off the metronome plays
    the bar as ever: beat 1 accented when ACCENT is on, every other tick normal.
*/
struct PracticeSettings
{
    enum class Gap : juce::uint8 { off, fixedBars, randomBars };

    static constexpr int maxCountInBars = 4;
    static constexpr int maxGapBars = 16;
    static constexpr float softGain = 0.25f;

    std::array<BeatLevel, MeterTables::maxBeatsPerBar> pattern = makeDefaultPattern (false);
    bool softSubdivisions = false;

    int countInBars = 0;

    bool trainerOn = false;
    float trainerTargetBpm = 160.0f;
    float trainerStepBpm = 5.0f;
    int trainerEveryBars = 4;

    Gap gap = Gap::off;
    int playBars = 4;
    int muteBars = 4;
    float randomMutePercent = 25.0f;

    /** Whether START begins again from the top rather than resuming. */
    bool restartsOnStart() const noexcept   { return countInBars > 0 || trainerOn || gap != Gap::off; }

    /** Every value brought into its range; a value that is not a number becomes the default. */
    PracticeSettings clamped() const noexcept;

    bool operator== (const PracticeSettings&) const noexcept;
    bool operator!= (const PracticeSettings& other) const noexcept  { return ! operator== (other); }

    static std::array<BeatLevel, MeterTables::maxBeatsPerBar> makeDefaultPattern (bool accentOn) noexcept;

    //==============================================================================
    /** The pattern as text, one symbol a beat: X accent, x normal, o soft, . silent. */
    static juce::String patternToText (const std::array<BeatLevel, MeterTables::maxBeatsPerBar>&, int numBeats);

    /** The levels written in text of 1 to 64 pattern symbols; nothing for any other text. */
    static std::optional<std::array<BeatLevel, MeterTables::maxBeatsPerBar>> patternFromText (const juce::String& text);

    //==============================================================================
    /** Adds to a preset the attributes that differ from the defaults, so that a
        preset without practice settings is stored exactly as it always was. */
    void writeTo (juce::ValueTree& preset, int beatsPerBar) const;

    /** The settings a preset holds, over the given beat-1 accent. A missing,
        unknown or malformed attribute reads as its default. */
    static PracticeSettings readFrom (const juce::ValueTree& preset, bool accentOn);
};
