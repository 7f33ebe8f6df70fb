#pragma once

#include "PracticeSettings.h"

/** The settings a bar is played with, read once a block. */
struct Meter
{
    float sampleRate;
    float bpm;            // the tempo set
    int beatsPerBar;
    float ticksPerBeat;
    bool tempoShared = false;   // a Link session's tempo: the speed trainer holds while it rules
};

/** What one tick plays and where the bar stands at it. */
struct PlannedTick
{
    BeatLevel level;
    int tickCounter;          // the 1-based tick within the bar, as the beat display reads it
    int beatInBar;            // 1-based
    int bar;                  // count-in bars -N..-1, then 1, 2, ...
    float bpm;                // the tempo of this bar
    double samplesPerTick;    // the spacing from this tick to the next
};

/**
    Plans the bars the beat clock plays: for each tick its level, for each bar
    its tempo, whether it counts in and whether it is muted.

    A run starts from the top with the count-in, if there is one, at the tempo
    set: one tick a beat, the first of each bar accented. Then come bars 1, 2,
    ..., each at the speed trainer's tempo for it (or the tempo set), muted by
    the gap click where it says so. With every feature off the bar is the plain
    one: the ticks of a bar count 1 .. beats x ticks per beat, beat 1 takes
    the pattern's first level and every other tick the normal click.

    Pure and allocation-free: the audio thread asks it at every tick.
*/
class BarPlanner
{
public:
    void setSettings (const PracticeSettings& newSettings) noexcept    { settings = newSettings; }
    const PracticeSettings& getSettings() const noexcept               { return settings; }

    /** The random gap click draws from this seed from the next start from the top on. */
    void setSeed (juce::uint32 newSeed) noexcept                       { seed = newSeed; }

    /** Plans the tick the clock has reached; fromTheTop begins a new run, on the
        given beat of the bar (0-based; a run that joins others mid-bar). */
    PlannedTick planTick (bool fromTheTop, const Meter& meter, int startBeat = 0) noexcept;

    /** The spacing of the bar now playing, for the meter as it stands. */
    double currentSpacing (const Meter& meter) const noexcept;

    /** The tempo the bar now playing has. */
    float currentBpm (const Meter& meter) const noexcept;

    int getBar() const noexcept             { return bar; }
    bool isCountingIn() const noexcept      { return bar < 0; }

private:
    float ticksPerBar (const Meter&) const noexcept;
    BeatLevel levelOfTick (const Meter&) const noexcept;
    bool decideMuted() noexcept;
    double nextRandom() noexcept;

    PracticeSettings settings;
    juce::uint32 seed = 1;
    juce::uint64 randomState = 0;

    int tickInBar = 1;
    int bar = 1;
    bool barMuted = false;
};
