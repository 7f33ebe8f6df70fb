#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include "lookandfeel/OrlavaneLightLookAndFeel.h"

class MetronomeProcessor;
class MetronomeComponent;

/** The engine's editor: the first tab, holding the control panel. It owns the
    application's look and feel and makes it the default for every component. */
class MetronomeProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit MetronomeProcessorEditor (MetronomeProcessor& processor);
    ~MetronomeProcessorEditor() override;

    void resized() override;

    MetronomeComponent& getPanel() noexcept     { return *panel; }

private:
    OrlavaneLightLookAndFeel lookAndFeel { 15.0f, 18.0f };
    std::unique_ptr<MetronomeComponent> panel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MetronomeProcessorEditor)
};
