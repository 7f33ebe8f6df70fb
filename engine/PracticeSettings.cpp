#include "PracticeSettings.h"

#include <cmath>
#include <cstdlib>
#include <type_traits>

namespace
{
    constexpr char levelSymbols[] = { 'X', 'x', 'o', '.' };

    const juce::Identifier patternId ("pattern"), softSubdivisionsId ("softSubdivisions"), countInId ("countIn"),
                           trainerId ("trainer"), trainerTargetId ("trainerTarget"), trainerStepId ("trainerStep"),
                           trainerBarsId ("trainerBars"), gapId ("gap"), playBarsId ("playBars"), muteBarsId ("muteBars"),
                           randomMuteId ("randomMute");

    float finiteOr (float value, float fallback) noexcept
    {
        return std::isfinite (value) ? value : fallback;
    }

    /** An attribute's number, strictly: the whole text must be one finite number. */
    std::optional<double> numberIn (const juce::ValueTree& preset, const juce::Identifier& name)
    {
        if (! preset.hasProperty (name))
            return std::nullopt;

        const auto& value = preset.getProperty (name);

        if (! value.isString())
            return std::isfinite ((double) value) ? std::optional<double> ((double) value) : std::nullopt;

        const auto text = value.toString().trim().toStdString();
        char* end = nullptr;
        const auto number = std::strtod (text.c_str(), &end);

        if (text.empty() || end != text.c_str() + text.size() || ! std::isfinite (number))
            return std::nullopt;

        return number;
    }

    template <typename T>
    void readNumber (const juce::ValueTree& preset, const juce::Identifier& name, T& target, double minimum, double maximum)
    {
        const auto number = numberIn (preset, name);

        if (! number || *number < minimum || *number > maximum)
            return;

        if constexpr (std::is_integral_v<T>)
            if (*number != std::floor (*number))
                return;

        target = (T) *number;
    }

    void writeIfChanged (juce::ValueTree& preset, const juce::Identifier& name, double value, double defaultValue)
    {
        if (value != defaultValue)
            preset.setProperty (name, value, nullptr);
    }
}

std::array<BeatLevel, MeterTables::maxBeatsPerBar> PracticeSettings::makeDefaultPattern (bool accentOn) noexcept
{
    std::array<BeatLevel, MeterTables::maxBeatsPerBar> levels;
    levels.fill (BeatLevel::normal);
    levels[0] = accentOn ? BeatLevel::accent : BeatLevel::normal;
    return levels;
}

PracticeSettings PracticeSettings::clamped() const noexcept
{
    const PracticeSettings defaults;
    auto s = *this;

    for (auto& level : s.pattern)
        if ((int) level > (int) BeatLevel::silent)
            level = BeatLevel::normal;

    s.countInBars = juce::jlimit (0, maxCountInBars, s.countInBars);
    s.trainerTargetBpm = juce::jlimit (MeterTables::minBpm, MeterTables::maxBpm, finiteOr (s.trainerTargetBpm, defaults.trainerTargetBpm));
    s.trainerStepBpm = juce::jlimit (0.1f, MeterTables::maxBpm - MeterTables::minBpm, finiteOr (s.trainerStepBpm, defaults.trainerStepBpm));
    s.trainerEveryBars = juce::jlimit (1, 64, s.trainerEveryBars);

    if ((int) s.gap > (int) Gap::randomBars)
        s.gap = Gap::off;

    s.playBars = juce::jlimit (1, maxGapBars, s.playBars);
    s.muteBars = juce::jlimit (1, maxGapBars, s.muteBars);
    s.randomMutePercent = juce::jlimit (0.0f, 100.0f, finiteOr (s.randomMutePercent, defaults.randomMutePercent));
    return s;
}

bool PracticeSettings::operator== (const PracticeSettings& o) const noexcept
{
    return pattern == o.pattern && softSubdivisions == o.softSubdivisions && countInBars == o.countInBars
        && trainerOn == o.trainerOn && trainerTargetBpm == o.trainerTargetBpm && trainerStepBpm == o.trainerStepBpm
        && trainerEveryBars == o.trainerEveryBars && gap == o.gap && playBars == o.playBars && muteBars == o.muteBars
        && randomMutePercent == o.randomMutePercent;
}

//==============================================================================
juce::String PracticeSettings::patternToText (const std::array<BeatLevel, MeterTables::maxBeatsPerBar>& levels, int numBeats)
{
    juce::String text;

    for (int i = 0; i < juce::jlimit (0, MeterTables::maxBeatsPerBar, numBeats); ++i)
        text += levelSymbols[(size_t) levels[(size_t) i]];

    return text;
}

std::optional<std::array<BeatLevel, MeterTables::maxBeatsPerBar>> PracticeSettings::patternFromText (const juce::String& text)
{
    if (text.isEmpty() || text.length() > MeterTables::maxBeatsPerBar)
        return std::nullopt;

    auto levels = makeDefaultPattern (false);

    for (int i = 0; i < text.length(); ++i)
    {
        const auto* symbol = std::find (std::begin (levelSymbols), std::end (levelSymbols), (char) text[i]);

        if (text[i] > 127 || symbol == std::end (levelSymbols))
            return std::nullopt;

        levels[(size_t) i] = (BeatLevel) (symbol - std::begin (levelSymbols));
    }

    return levels;
}

//==============================================================================
void PracticeSettings::writeTo (juce::ValueTree& preset, int beatsPerBar) const
{
    const PracticeSettings defaults;
    const auto numBeats = juce::jlimit (1, MeterTables::maxBeatsPerBar, beatsPerBar);

    // Beat 1's accent is the preset's "accent"; the pattern is stored only when it says more.
    auto plain = makeDefaultPattern (pattern[0] == BeatLevel::accent);
    if (! std::equal (pattern.begin(), pattern.begin() + numBeats, plain.begin()))
        preset.setProperty (patternId, patternToText (pattern, numBeats), nullptr);

    writeIfChanged (preset, softSubdivisionsId, softSubdivisions ? 1 : 0, 0);
    writeIfChanged (preset, countInId, countInBars, defaults.countInBars);
    writeIfChanged (preset, trainerId, trainerOn ? 1 : 0, 0);
    writeIfChanged (preset, trainerTargetId, trainerTargetBpm, defaults.trainerTargetBpm);
    writeIfChanged (preset, trainerStepId, trainerStepBpm, defaults.trainerStepBpm);
    writeIfChanged (preset, trainerBarsId, trainerEveryBars, defaults.trainerEveryBars);
    writeIfChanged (preset, gapId, (int) gap, (int) defaults.gap);
    writeIfChanged (preset, playBarsId, playBars, defaults.playBars);
    writeIfChanged (preset, muteBarsId, muteBars, defaults.muteBars);
    writeIfChanged (preset, randomMuteId, randomMutePercent, defaults.randomMutePercent);
}

PracticeSettings PracticeSettings::readFrom (const juce::ValueTree& preset, bool accentOn)
{
    PracticeSettings s;
    s.pattern = makeDefaultPattern (accentOn);

    if (preset.hasProperty (patternId))
        if (const auto levels = patternFromText (preset.getProperty (patternId).toString()))
            s.pattern = *levels;

    double flag = 0;
    readNumber (preset, softSubdivisionsId, flag, 0, 1);
    s.softSubdivisions = flag == 1;

    readNumber (preset, countInId, s.countInBars, 0, maxCountInBars);

    flag = 0;
    readNumber (preset, trainerId, flag, 0, 1);
    s.trainerOn = flag == 1;
    readNumber (preset, trainerTargetId, s.trainerTargetBpm, MeterTables::minBpm, MeterTables::maxBpm);
    readNumber (preset, trainerStepId, s.trainerStepBpm, 0.1, MeterTables::maxBpm - MeterTables::minBpm);
    readNumber (preset, trainerBarsId, s.trainerEveryBars, 1, 64);

    int gap = 0;
    readNumber (preset, gapId, gap, 0, (int) Gap::randomBars);
    s.gap = (Gap) gap;
    readNumber (preset, playBarsId, s.playBars, 1, maxGapBars);
    readNumber (preset, muteBarsId, s.muteBars, 1, maxGapBars);
    readNumber (preset, randomMuteId, s.randomMutePercent, 0, 100);

    return s;
}
