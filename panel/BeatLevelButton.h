#pragma once

#include "engine/PracticeSettings.h"

#include <juce_gui_basics/juce_gui_basics.h>

/**
    One beat of the bar on the Practice page. A click moves it on to the next
    level (accent, normal, soft, silent, then accent again). The level reads at
    a glance without colour: a full bar for an accent, two thirds for a normal
    beat, a third for a soft one, an empty frame for a silent one; the beat
    playing now is framed in white.
*/
class BeatLevelButton : public juce::Button
{
public:
    explicit BeatLevelButton (int beatNumber);

    void setLevel (BeatLevel);
    BeatLevel getLevel() const noexcept        { return level; }

    void setLit (bool shouldBeLit);
    bool isLit() const noexcept                 { return lit; }

    /** The level a click moves to. */
    static BeatLevel nextLevel (BeatLevel) noexcept;

    /** The share of the button's height that the level's bar fills. */
    static float barHeightFor (BeatLevel) noexcept;

    void paintButton (juce::Graphics&, bool isMouseOver, bool isButtonDown) override;

private:
    void clicked() override;

    const int beatNumber;
    BeatLevel level = BeatLevel::normal;
    bool lit = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BeatLevelButton)
};
