#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/**
    The Practice page's large display of where the clicks are: the bar and the
    beat, or during a count-in the bars still to go as a count-down ("-2", "-1").
    It repaints only when what it shows changes.
*/
class BarBeatDisplay : public juce::Component
{
public:
    BarBeatDisplay() = default;

    /** Bar 1, 2, ... or a count-in bar -N..-1; the 1-based beat within it. */
    void setPosition (int bar, int beat);

    /** The two texts as drawn: the bar (or count-down) and the beat. */
    juce::String getBarText() const;
    juce::String getBeatText() const        { return juce::String (beat); }

    void paint (juce::Graphics&) override;

private:
    int bar = 1;
    int beat = 1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BarBeatDisplay)
};
