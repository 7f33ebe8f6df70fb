#pragma once

#include <juce_audio_utils/juce_audio_utils.h>

class MetronomeProcessor;

/**
    The window's content: owns the audio device, the engine and the player that
    connects them, and shows the engine's editor and the audio setup page in two
    tabs.
*/
class MainComponent : public juce::Component
{
public:
    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** For tests: the device manager and the engine it plays. */
    juce::AudioDeviceManager& getDeviceManager() noexcept   { return deviceManager; }
    MetronomeProcessor& getProcessor() noexcept             { return *engine; }
    juce::TabbedComponent& getTabs() noexcept               { return *tabs; }

private:
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    std::unique_ptr<MetronomeProcessor> engine;
    juce::AudioDeviceManager deviceManager;
    juce::AudioProcessorPlayer player;
    std::unique_ptr<juce::TabbedComponent> tabs;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
