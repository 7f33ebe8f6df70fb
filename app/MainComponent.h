#pragma once

#include "engine/PresetFile.h"

#include <juce_audio_utils/juce_audio_utils.h>

class MetronomeProcessor;
class MetronomeComponent;
class KeyboardCommands;
class FocusRing;
class DeviceLatencyReporter;
class DeviceReconnector;

/**
    The window's content: owns the audio device, the engine and the player that
    connects them, and shows the engine's editor, the audio setup page and the
    Practice page in three tabs. The keyboard commands work on every tab.
*/
class MainComponent : public juce::Component
{
public:
    /** The window's content; its presets live in the given file (for tests: a
        default-constructed File keeps them in memory only). */
    explicit MainComponent (const juce::File& presetFile = PresetFile::getDefaultFile());
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void parentHierarchyChanged() override;

    /** For tests: the device manager and the engine it plays. */
    juce::AudioDeviceManager& getDeviceManager() noexcept   { return deviceManager; }
    MetronomeProcessor& getProcessor() noexcept             { return *engine; }
    juce::TabbedComponent& getTabs() noexcept               { return *tabs; }
    MetronomeComponent& getPanel() noexcept;
    KeyboardCommands& getKeyboardCommands() noexcept        { return *commands; }

    enum TabIndex { panelTab = 0, audioSetupTab, practiceTab };

private:
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    std::unique_ptr<MetronomeProcessor> engine;
    juce::AudioDeviceManager deviceManager;
    juce::AudioProcessorPlayer player;
    std::unique_ptr<juce::ToggleButton> linkStartStopButton;
    std::unique_ptr<juce::TabbedComponent> tabs;
    std::unique_ptr<KeyboardCommands> commands;
    std::unique_ptr<FocusRing> focusRing;
    std::unique_ptr<DeviceLatencyReporter> latencyReporter;
    std::unique_ptr<DeviceReconnector> reconnector;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
