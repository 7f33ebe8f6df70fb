#pragma once

#include "app/AboutPanel.h"

#include <juce_gui_basics/juce_gui_basics.h>

class MetronomeProcessor;

/**
    The metronome's control panel, the content of the first tab: 26 controls in
    four framed sections (tempo, time signature, sound, presets), the beat number
    and START at the bottom, ABOUT at the top right, and the about overlay above
    them all, hidden until ABOUT shows it. A fixed-size form, 432 x 680.
*/
class MetronomeComponent : public juce::Component
{
public:
    explicit MetronomeComponent (MetronomeProcessor& processor);
    ~MetronomeComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

private:
    [[maybe_unused]] MetronomeProcessor* processor;   // what the controls will drive

    std::unique_ptr<juce::GroupComponent> timeSignatureGroup;
    std::unique_ptr<juce::GroupComponent> bpmGroup;
    std::unique_ptr<juce::Slider> bpmSlider;
    std::unique_ptr<juce::Slider> bpmStepper;
    std::unique_ptr<juce::TextButton> tapButton;
    std::unique_ptr<juce::ToggleButton> accentButton;
    std::unique_ptr<juce::Label> bpmLabel;
    std::unique_ptr<juce::Label> slashLabel;
    std::unique_ptr<juce::GroupComponent> soundGroup;
    std::unique_ptr<juce::Label> beatLabel;
    std::unique_ptr<juce::ToggleButton> startButton;
    std::unique_ptr<juce::ComboBox> beatsPerBarCombo;
    std::unique_ptr<juce::ComboBox> beatValueCombo;
    std::unique_ptr<juce::GroupComponent> presetGroup;
    std::unique_ptr<juce::Slider> volumeSlider;
    std::unique_ptr<juce::ComboBox> soundCombo;
    std::unique_ptr<juce::Label> soundPackLabel;
    std::unique_ptr<juce::ComboBox> presetCombo;
    std::unique_ptr<juce::ComboBox> subdivisionCombo;
    std::unique_ptr<juce::Label> subdivisionLabel;
    std::unique_ptr<juce::ToggleButton> listenButton;
    std::unique_ptr<juce::ComboBox> tempoMarkingCombo;
    std::unique_ptr<juce::ToggleButton> muteButton;
    std::unique_ptr<juce::TextButton> aboutButton;
    std::unique_ptr<juce::TextButton> addPresetButton;
    std::unique_ptr<juce::TextButton> deletePresetButton;
    std::unique_ptr<AboutPanel> aboutPanel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MetronomeComponent)
};
