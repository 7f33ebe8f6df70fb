#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <optional>

/** The "Preset Name" dialog of the panel's "+" button. */
struct PresetNameDialog
{
    /** Asks for a name in a modal dialog; nothing when the musician cancels or
        gives a name that is empty or only blanks. */
    static std::optional<juce::String> ask();

    /** The decision on what the dialog returned: OK with a name that has more than blanks. */
    static std::optional<juce::String> nameFromResult (int result, const juce::String& typed);
};
