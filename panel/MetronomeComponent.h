#pragma once

#include "app/AboutPanel.h"
#include "DisplayRefresh.h"

#include <functional>
#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

class MetronomeProcessor;

/**
    The metronome's control panel, the content of the first tab: 26 controls in
    four framed sections (tempo, time signature, sound, presets), the beat number
    and START at the bottom, ABOUT at the top right, and the about overlay above
    them all, hidden until ABOUT shows it. A fixed-size form, 432 x 680.
*/
class MetronomeComponent : public juce::Component,
                           public juce::Slider::Listener,
                           public juce::Button::Listener,
                           public juce::Label::Listener,
                           public juce::ComboBox::Listener
{
public:
    explicit MetronomeComponent (MetronomeProcessor& processor);
    ~MetronomeComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Shows the beat playing and adopts LISTEN's tempo: every 50 ms, with the
        window's display refresh while the panel is on one. */
    void timerCallback();
    void sliderValueChanged (juce::Slider*) override;
    void buttonClicked (juce::Button*) override;
    void labelTextChanged (juce::Label*) override;
    void editorShown (juce::Label*, juce::TextEditor&) override;
    void comboBoxChanged (juce::ComboBox*) override;

    /** The one path of every tempo, from any control or source: clamps it to
        20..400 (anything that is not a finite number counts as 20), shows it on
        the bar slider, the stepper, the BPM number and the marking selector, and
        sends it to the engine. */
    void applyBpm (float bpm);

    /** Shows a tempo on the bar slider, the stepper, the BPM number and the marking selector. */
    void showBpm (float bpm);

    /** Reads the engine's settings back into the controls, without notification. */
    void updateControlsFromProcessor();

    /** Rebuilds the preset list from the engine and selects its current preset,
        whose values the list's change notification then applies. */
    void refreshPresetList();

    /** Replaces the "Preset Name" dialog (for tests). */
    void setPresetNameRequester (std::function<std::optional<juce::String>()> requester);

    /** Typed text as a tempo: its leading decimal number, 0 when it has none. */
    static float tempoFromText (const juce::String& text);

    //==============================================================================
    /** The panel's actions as its buttons do them, for the keyboard and the other pages:
        each presses its button, so that button, key and page can never disagree. */
    void pressStart()           { press (*startButton); }
    void pressMute()            { press (*muteButton); }
    void pressAccent()          { press (*accentButton); }
    void pressListen()          { press (*listenButton); }
    void pressLink()            { press (*linkButton); }
    void pressTap()             { buttonClicked (tapButton.get()); }

    /** Moves the tempo by the given number of BPM, within 20..400. */
    void nudgeTempo (float deltaBpm);

    AboutPanel& getAboutPanel() noexcept    { return *aboutPanel; }

private:
    void press (juce::Button&);
    void showSwitchesOfEngine();
    void followLink();
    void updateRefreshOffWindow();
    void addPreset();
    void deleteSelectedPreset();
    void noticeUnsavedPresets();
    void noticeKeptAsidePresets();

    MetronomeProcessor* processor;
    std::function<std::optional<juce::String>()> askPresetName;
    bool unsavedPresetsNoticed = false;

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
    std::unique_ptr<juce::ToggleButton> syncButton;
    std::unique_ptr<juce::ToggleButton> linkButton;
    std::unique_ptr<juce::Label> linkPeersLabel;
    std::unique_ptr<juce::ComboBox> tempoMarkingCombo;
    std::unique_ptr<juce::ToggleButton> muteButton;
    std::unique_ptr<juce::TextButton> aboutButton;
    std::unique_ptr<juce::TextButton> addPresetButton;
    std::unique_ptr<juce::TextButton> deletePresetButton;
    std::unique_ptr<AboutPanel> aboutPanel;
    std::unique_ptr<DisplayRefresh> refresher;
    std::unique_ptr<juce::Label> presetFileNotice;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MetronomeComponent)
};
