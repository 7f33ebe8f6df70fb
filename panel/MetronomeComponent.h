#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MetronomeProcessor;

/** The control panel of the first tab. */
class MetronomeComponent : public juce::Component
{
public:
    explicit MetronomeComponent (MetronomeProcessor& processor);
    ~MetronomeComponent() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MetronomeComponent)
};
