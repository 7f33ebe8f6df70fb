#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/**
    Draws a ring around whichever control inside its parent has the keyboard
    focus, so that a musician moving through the window with Tab always sees
    where a key will land. It lies above the pages, takes no mouse clicks, and
    repaints only when the focus moves.
*/
class FocusRing : public juce::Component,
                  private juce::FocusChangeListener,
                  private juce::ComponentListener
{
public:
    FocusRing();
    ~FocusRing() override;

    void paint (juce::Graphics&) override;

private:
    void globalFocusChanged (juce::Component* focused) override;
    void componentMovedOrResized (juce::Component&, bool, bool) override     { follow(); }
    void componentVisibilityChanged (juce::Component&) override             { follow(); }
    void componentBeingDeleted (juce::Component&) override;
    void follow();
    void setTarget (juce::Component*);

    juce::Component::SafePointer<juce::Component> target;
    static constexpr int margin = 3;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FocusRing)
};
