#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class MetronomeProcessor;
class MetronomeComponent;

/** The engine's editor: the first tab, holding the control panel. */
class MetronomeProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit MetronomeProcessorEditor (MetronomeProcessor& processor);
    ~MetronomeProcessorEditor() override;

    void resized() override;

private:
    std::unique_ptr<MetronomeComponent> panel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MetronomeProcessorEditor)
};
