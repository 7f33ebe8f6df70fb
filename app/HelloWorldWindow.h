#pragma once

#include "WindowSizePin.h"

#include <juce_gui_basics/juce_gui_basics.h>

/**
    The main window: native title bar, fixed size taken from its content (the
    MainComponent), centred on the main display. Closing it ends the program.
*/
class HelloWorldWindow : public juce::DocumentWindow
{
public:
    HelloWorldWindow();
    ~HelloWorldWindow() override;

    /** Switches LINK on, as its button does. */
    void startLinked();

    void closeButtonPressed() override;

private:
    juce::TooltipWindow tooltipWindow { nullptr, 700 };
    std::unique_ptr<WindowSizePin> sizePin;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HelloWorldWindow)
};
