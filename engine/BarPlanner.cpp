#include "BarPlanner.h"
#include "BeatClock.h"

#include <cmath>

namespace
{
    /** The beat a tick belongs to, 0-based, as the beat display computes it. */
    int beatIndexOfTick (int tick, float ticksPerBeat) noexcept
    {
        return (int) ((float) (tick - 1) / ticksPerBeat);
    }
}

PlannedTick BarPlanner::planTick (bool fromTheTop, const Meter& meter, int startBeat) noexcept
{
    if (fromTheTop)
    {
        bar = settings.countInBars > 0 ? -settings.countInBars : 1;
        const auto ticksPerBeatNow = isCountingIn() ? 1.0f : meter.ticksPerBeat;
        const auto firstTick = 1 + (int) std::lround ((float) juce::jmax (0, startBeat) * ticksPerBeatNow);
        tickInBar = juce::jlimit (1, juce::jmax (1, (int) ticksPerBar (meter)), firstTick);
        randomState = seed;
        barMuted = decideMuted();
    }
    else if ((float) (tickInBar + 1) > ticksPerBar (meter))
    {
        tickInBar = 1;
        bar = bar == -1 ? 1 : bar + 1;
        barMuted = decideMuted();
    }
    else
    {
        ++tickInBar;
    }

    PlannedTick tick;
    tick.level = levelOfTick (meter);
    tick.bar = bar;
    tick.bpm = currentBpm (meter);
    tick.samplesPerTick = currentSpacing (meter);

    if (isCountingIn())
    {
        // The count-in's beats, in the ticks of the bar that follows it.
        tick.beatInBar = tickInBar;
        tick.tickCounter = (int) ((float) (tickInBar - 1) * meter.ticksPerBeat) + 1;
    }
    else
    {
        tick.beatInBar = beatIndexOfTick (tickInBar, meter.ticksPerBeat) + 1;
        tick.tickCounter = tickInBar;
    }

    return tick;
}

float BarPlanner::ticksPerBar (const Meter& meter) const noexcept
{
    return isCountingIn() ? (float) meter.beatsPerBar : (float) meter.beatsPerBar * meter.ticksPerBeat;
}

float BarPlanner::currentBpm (const Meter& meter) const noexcept
{
    if (! settings.trainerOn || isCountingIn() || meter.tempoShared)
        return meter.bpm;

    // A step every so many bars from the tempo set, then holding at the target.
    const auto steps = (float) ((bar - 1) / juce::jmax (1, settings.trainerEveryBars));
    const auto target = settings.trainerTargetBpm;
    const auto tempo = target >= meter.bpm ? juce::jmin (target, meter.bpm + steps * settings.trainerStepBpm)
                                           : juce::jmax (target, meter.bpm - steps * settings.trainerStepBpm);

    return juce::jlimit (MeterTables::minBpm, MeterTables::maxBpm, tempo);
}

double BarPlanner::currentSpacing (const Meter& meter) const noexcept
{
    return BeatClock::exactSamplesPerTick (meter.sampleRate, currentBpm (meter), isCountingIn() ? 1.0f : meter.ticksPerBeat);
}

BeatLevel BarPlanner::levelOfTick (const Meter& meter) const noexcept
{
    if (isCountingIn())
        return tickInBar == 1 ? BeatLevel::accent : BeatLevel::normal;

    const auto beat = beatIndexOfTick (tickInBar, meter.ticksPerBeat);
    const auto beatLevel = settings.pattern[(size_t) juce::jlimit (0, MeterTables::maxBeatsPerBar - 1, beat)];

    if (barMuted || beatLevel == BeatLevel::silent)
        return BeatLevel::silent;

    const bool startsBeat = tickInBar == 1 || beat != beatIndexOfTick (tickInBar - 1, meter.ticksPerBeat);

    if (startsBeat)
        return beatLevel;

    return settings.softSubdivisions ? BeatLevel::soft : BeatLevel::normal;
}

bool BarPlanner::decideMuted() noexcept
{
    if (isCountingIn())
        return false;

    switch (settings.gap)
    {
        case PracticeSettings::Gap::fixedBars:
            return (bar - 1) % juce::jmax (1, settings.playBars + settings.muteBars) >= settings.playBars;

        case PracticeSettings::Gap::randomBars:
            // Drawn for every bar, so that a bar's fate depends on the seed and its number alone.
            return nextRandom() * 100.0 < (double) settings.randomMutePercent && bar > 1;

        case PracticeSettings::Gap::off:
        default:
            return false;
    }
}

double BarPlanner::nextRandom() noexcept
{
    // SplitMix64: small, fast, and the same sequence on every platform.
    auto z = (randomState += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    return (double) (z >> 11) * (1.0 / 9007199254740992.0);
}
