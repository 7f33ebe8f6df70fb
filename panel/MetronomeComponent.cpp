#include "MetronomeComponent.h"
#include "PanelWidgets.h"
#include "PresetNameDialog.h"
#include "TempoMarkings.h"
#include "engine/MeterTables.h"
#include "engine/MetronomeProcessor.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

using namespace PanelWidgets;

namespace
{
    std::unique_ptr<juce::Slider> makeSlider (juce::Component& parent, double minimum, double maximum, double interval,
                                              juce::Slider::SliderStyle style)
    {
        auto slider = addVisible<juce::Slider> (parent, "new slider");
        slider->setRange (minimum, maximum, interval);
        slider->setSliderStyle (style);
        slider->setTextBoxStyle (juce::Slider::NoTextBox, false, 80, 20);
        return slider;
    }

    void colourBar (juce::Slider& slider)
    {
        slider.setColour (juce::Slider::thumbColourId, juce::Colour (0xffd2691e));
        slider.setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (0xfff7931d));
    }

    template <size_t size>
    juce::StringArray translated (const char* const (&names)[size])
    {
        juce::StringArray items;
        for (const auto* name : names)
            items.add (TRANS (name));
        return items;
    }

    template <size_t size>
    juce::StringArray numbers (const int (&values)[size])
    {
        juce::StringArray items;
        for (const auto value : values)
            items.add (juce::String (value));
        return items;
    }

    juce::StringArray beatsPerBarChoices()
    {
        juce::StringArray items;
        for (int beats = MeterTables::panelMinBeatsPerBar; beats <= MeterTables::panelMaxBeatsPerBar; ++beats)
            items.add (juce::String (beats));
        return items;
    }

    /** The text with as much of the path as fits in the width: the path's middle
        gives way first, so that its start and the file's name stay readable. */
    juce::String fitPath (const juce::String& text, const juce::String& path, const juce::Font& font, float width)
    {
        if (font.getStringWidthFloat (text + path) <= width)
            return text + path;

        const auto tail = path.substring (path.lastIndexOfChar ('/'));

        for (auto headLength = path.length() - tail.length() - 1; headLength > 0; --headLength)
            if (const auto fitted = text + path.substring (0, headLength) + "..." + tail; font.getStringWidthFloat (fitted) <= width)
                return fitted;

        return text + "..." + tail;
    }

    juce::Font bigBold()      { return { juce::Font::getDefaultSansSerifFontName(), 36.0f, juce::Font::bold }; }
    juce::Font smallPlain()   { return { 15.0f, juce::Font::plain }; }
}

MetronomeComponent::MetronomeComponent (MetronomeProcessor& p)
    : processor (&p),
      askPresetName (PresetNameDialog::ask)
{
    using J = juce::Justification;

    timeSignatureGroup = makeGroup (*this, TRANS ("Time Signature"), juce::Colour (0xff7fff00));
    bpmGroup = makeGroup (*this, TRANS ("Beats Per Minute"), juce::Colour (0xff00ffff));

    bpmSlider = makeSlider (*this, MeterTables::minBpm, 240.0, 1.0, juce::Slider::LinearBar);
    colourBar (*bpmSlider);
    bpmSlider->addListener (this);
    bpmStepper = makeSlider (*this, MeterTables::minBpm, MeterTables::maxBpm, 1.0, juce::Slider::IncDecButtons);
    bpmStepper->addListener (this);

    tapButton = makeButton<juce::TextButton> (*this, "new button", TRANS ("TAP"), TRANS ("Tap BPM"));
    tapButton->addListener (this);
    accentButton = makeButton<juce::ToggleButton> (*this, "new toggle button", TRANS ("ACCENT"), TRANS ("Accent Downbeats."));
    accentButton->addListener (this);

    bpmLabel = makeLabel (*this, TRANS ("100"), bigBold(), J::centred);
    bpmLabel->setTooltip (TRANS ("Double-click to set BPM."));
    bpmLabel->setEditable (false, true, false);
    bpmLabel->setColour (juce::Label::textColourId, juce::Colours::azure);
    bpmLabel->setColour (juce::Label::outlineColourId, juce::Colour (0xfff7931d));
    bpmLabel->addListener (this);

    slashLabel = makeLabel (*this, TRANS ("/"), bigBold(), J::centred);
    slashLabel->setEditable (true, true, false);
    slashLabel->addListener (this);

    soundGroup = makeGroup (*this, TRANS ("Sound"), juce::Colour (0xfffff8dc));

    beatLabel = makeLabel (*this, TRANS ("1"), juce::Font ("Consolas", 64.0f, juce::Font::bold), J::centred);
    beatLabel->setColour (juce::Label::textColourId, juce::Colours::yellow);
    beatLabel->setColour (juce::Label::outlineColourId, juce::Colour (0xfff7931d));

    startButton = makeButton<juce::ToggleButton> (*this, "new toggle button", TRANS ("START"));
    startButton->addListener (this);

    beatsPerBarCombo = makeCombo (*this, J::centred, beatsPerBarChoices());
    beatsPerBarCombo->addListener (this);
    beatValueCombo = makeCombo (*this, J::centred, numbers (MeterTables::beatValues));
    beatValueCombo->addListener (this);

    presetGroup = makeGroup (*this, TRANS ("Preset"), juce::Colour (0xff6495ed));

    volumeSlider = makeSlider (*this, 0.0, 1.0, 0.01, juce::Slider::LinearBar);
    volumeSlider->setTooltip (TRANS ("Adjust Output Volume."));
    colourBar (*volumeSlider);
    volumeSlider->addListener (this);

    soundCombo = makeCombo (*this, J::centredLeft, translated (MeterTables::soundPackNames));
    soundCombo->addListener (this);

    soundPackLabel = makeLabel (*this, TRANS ("Sound Pack"), smallPlain(), J::centredLeft);
    soundPackLabel->setColour (juce::Label::textColourId, juce::Colours::azure);

    presetCombo = makeCombo (*this, J::centredLeft, {});
    presetCombo->addListener (this);

    subdivisionCombo = makeCombo (*this, J::centredLeft, translated (MeterTables::subdivisionNames));
    subdivisionCombo->addListener (this);

    subdivisionLabel = makeLabel (*this, TRANS ("Subdivision"), smallPlain(), J::centredLeft);
    subdivisionLabel->setColour (juce::Label::textColourId, juce::Colours::azure);

    listenButton = makeButton<juce::ToggleButton> (*this, "new toggle button", TRANS ("LISTEN"),
                                                   TRANS ("Estimate BPM from input audio. It takes a few seconds to detect on a new tempo."));
    listenButton->addListener (this);

    // SYNC sits on the frame of the tempo group, beside the LISTEN it refines.
    syncButton = makeButton<juce::ToggleButton> (*bpmGroup, "sync button", TRANS ("SYNC"),
                                                 TRANS ("While LISTEN hears a beat, place the clicks on the beats of the music."));
    syncButton->addListener (this);

    // LINK shares the tempo, so it sits on the same frame, the session's peers beside it.
    linkButton = makeButton<juce::ToggleButton> (*bpmGroup, "link button", TRANS ("LINK"),
                                                 TRANS ("Share the tempo and the beat with Ableton Link programs on the network."));
    linkButton->addListener (this);
    linkPeersLabel = makeLabel (*bpmGroup, {}, juce::Font (13.0f), juce::Justification::centredLeft);
    linkPeersLabel->setColour (juce::Label::textColourId, juce::Colour (0xff00ffff));
    linkPeersLabel->setColour (juce::Label::backgroundColourId, juce::Colour (0xff102030));
    linkPeersLabel->setBorderSize ({ 0, 4, 0, 4 });
    linkPeersLabel->setVisible (false);

    tempoMarkingCombo = makeCombo (*this, J::centredLeft, {});
    tempoMarkingCombo->addListener (this);

    muteButton = makeButton<juce::ToggleButton> (*this, "mute button", TRANS ("MUTE"));
    muteButton->addListener (this);
    aboutButton = makeButton<juce::TextButton> (*this, "new button", TRANS ("ABOUT"));
    aboutButton->addListener (this);

    addPresetButton = makeButton<juce::TextButton> (*this, "new button", TRANS ("+"), TRANS ("add a new preset"));
    addPresetButton->setConnectedEdges (juce::Button::ConnectedOnRight);
    addPresetButton->addListener (this);
    deletePresetButton = makeButton<juce::TextButton> (*this, "new button", TRANS ("-"), TRANS ("delete current preset"));
    deletePresetButton->setConnectedEdges (juce::Button::ConnectedOnLeft);
    deletePresetButton->addListener (this);

    aboutPanel = std::make_unique<AboutPanel> ("Tocksley");
    addChildComponent (*aboutPanel);

    // The bars are reached with Tab too, and then move with the arrow keys; a click on
    // the background leaves the focus where it is rather than handing it to ABOUT.
    bpmSlider->setWantsKeyboardFocus (true);
    volumeSlider->setWantsKeyboardFocus (true);
    setMouseClickGrabsKeyboardFocus (false);

    presetFileNotice = makeLabel (*presetGroup, {}, smallPlain(), J::centredRight);
    presetFileNotice->setColour (juce::Label::textColourId, juce::Colour (0xfff7931d));
    presetFileNotice->setColour (juce::Label::backgroundColourId, juce::Colour (0xff102030));
    presetFileNotice->setBorderSize ({ 0, 4, 0, 4 });
    presetFileNotice->setVisible (false);
    noticeKeptAsidePresets();

    setSize (432, 680);

    for (int index = 1; index <= TempoMarkings::numMarkings; ++index)
    {
        int lowestBpm = 0;
        tempoMarkingCombo->addItem (*TempoMarkings::getTempoMarking (index, lowestBpm), index);
    }

    refreshPresetList();
    // Behind another tab or in a minimised window nothing is drawn; LISTEN still adopts, LINK still follows.
    refresher = std::make_unique<DisplayRefresh> (*this, 50, [this]
    {
        if (isShowing() || listenButton->getToggleState() || linkButton->getToggleState())
            timerCallback();
    });
}

MetronomeComponent::~MetronomeComponent() = default;

//==============================================================================
float MetronomeComponent::tempoFromText (const juce::String& text)
{
    // The longest leading decimal number: spaces, a sign, digits, a fraction, an exponent.
    const std::string t = text.toStdString();
    size_t i = t.find_first_not_of (" \t\r\n");
    const auto start = i == std::string::npos ? t.size() : i;
    i = start;

    const auto digitsFrom = [&t] (size_t p) { while (p < t.size() && std::isdigit ((unsigned char) t[p])) ++p; return p; };

    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;

    auto end = digitsFrom (i);
    if (end < t.size() && t[end] == '.')
        end = digitsFrom (end + 1);

    if (end > i && end < t.size() && (t[end] == 'e' || t[end] == 'E'))
    {
        auto exponent = end + 1;
        if (exponent < t.size() && (t[exponent] == '+' || t[exponent] == '-'))
            ++exponent;
        if (digitsFrom (exponent) > exponent)
            end = digitsFrom (exponent);
    }

    return (float) std::strtod (t.substr (start, end - start).c_str(), nullptr);
}

void MetronomeComponent::applyBpm (float bpm)
{
    if (! std::isfinite (bpm) || bpm < MeterTables::minBpm)
        bpm = MeterTables::minBpm;
    else if (bpm > MeterTables::maxBpm)
        bpm = MeterTables::maxBpm;

    showBpm (bpm);
    processor->setParameter (MetronomeProcessor::bpmParameter, bpm);
}

void MetronomeComponent::showBpm (float bpm)
{
    bpmSlider->setValue ((double) bpm, juce::dontSendNotification);
    bpmStepper->setValue ((double) bpm, juce::dontSendNotification);

    // Writing the label closes an editor open on it: never while the musician types.
    if (! bpmLabel->isBeingEdited())
        bpmLabel->setText (juce::String ((int) bpm), juce::dontSendNotification);

    tempoMarkingCombo->setSelectedId (TempoMarkings::indexForBpm (bpm), juce::dontSendNotification);
}

void MetronomeComponent::updateControlsFromProcessor()
{
    const auto parameter = [this] (int index) { return processor->getParameter (index); };

    applyBpm (parameter (MetronomeProcessor::bpmParameter));
    accentButton->setToggleState (parameter (MetronomeProcessor::accentParameter) == 1.0f, juce::dontSendNotification);
    beatsPerBarCombo->setSelectedId ((int) parameter (MetronomeProcessor::beatsPerBarParameter) - 1, juce::dontSendNotification);
    beatValueCombo->setSelectedId ((int) parameter (MetronomeProcessor::beatValueParameter) + 1, juce::dontSendNotification);
    subdivisionCombo->setSelectedId ((int) parameter (MetronomeProcessor::subdivisionParameter) + 1, juce::dontSendNotification);
    soundCombo->setSelectedId ((int) parameter (MetronomeProcessor::soundParameter) + 1, juce::dontSendNotification);
    volumeSlider->setValue ((double) parameter (MetronomeProcessor::gainParameter), juce::dontSendNotification);

    // A preset can switch mute on; the button shows what the engine does.
    muteButton->setToggleState (processor->isMuteOn(), juce::dontSendNotification);
}

void MetronomeComponent::timerCallback()
{
    const auto beat = (int) ((float) (processor->tickCounter - 1) / processor->ticksPerBeat + 1.0f);
    beatLabel->setText (juce::String (beat), juce::dontSendNotification);

    followLink();
    showSwitchesOfEngine();

    if (listenButton->getToggleState())
    {
        const auto detected = (float) processor->getDetectedBpm();

        if (TempoDetector::isAdoptableEstimate (detected))
            applyBpm (detected);
    }
}

void MetronomeComponent::sliderValueChanged (juce::Slider* slider)
{
    if (slider == bpmSlider.get() || slider == bpmStepper.get())
        applyBpm ((float) slider->getValue());
    else if (slider == volumeSlider.get())
        processor->setParameter (MetronomeProcessor::gainParameter, (float) slider->getValue());
}

void MetronomeComponent::buttonClicked (juce::Button* button)
{
    const auto switchValue = button->getToggleState() ? 1.0f : 0.0f;

    if (button == tapButton.get())
    {
        processor->setParameter (MetronomeProcessor::tapParameter, 1.0f);
        applyBpm (processor->getParameter (MetronomeProcessor::bpmParameter));
    }
    else if (button == accentButton.get())  processor->setParameter (MetronomeProcessor::accentParameter, switchValue);
    else if (button == startButton.get())   processor->setParameter (MetronomeProcessor::startParameter, switchValue);
    else if (button == listenButton.get())
    {
        processor->setParameter (MetronomeProcessor::listenParameter, switchValue);
        updateRefreshOffWindow();
    }
    else if (button == linkButton.get())
    {
        processor->setLinkOn (button->getToggleState());
        linkPeersLabel->setVisible (button->getToggleState());
        updateRefreshOffWindow();
        followLink();
    }
    else if (button == syncButton.get())    processor->setSyncOn (button->getToggleState());
    else if (button == muteButton.get())    processor->setParameter (MetronomeProcessor::muteParameter, switchValue);
    else if (button == aboutButton.get())   aboutPanel->setVisible (true);
    else if (button == addPresetButton.get())       addPreset();
    else if (button == deletePresetButton.get())    deleteSelectedPreset();
}

void MetronomeComponent::showSwitchesOfEngine()
{
    // The Practice page's START and its beat 1 are these same settings.
    startButton->setToggleState (processor->isRunning(), juce::dontSendNotification);
    accentButton->setToggleState (processor->isAccentOn(), juce::dontSendNotification);
}

void MetronomeComponent::updateRefreshOffWindow()
{
    refresher->setRunsWithoutDisplay (listenButton->getToggleState() || linkButton->getToggleState());
}

void MetronomeComponent::followLink()
{
    if (! processor->isLinkOn())
        return;

    if (processor->followLinkSession())
        showBpm (processor->getBpm());

    const auto peers = processor->getLinkPeers();
    linkPeersLabel->setText (juce::String (peers) + (peers == 1 ? TRANS (" peer") : TRANS (" peers")), juce::dontSendNotification);
}

void MetronomeComponent::press (juce::Button& button)
{
    // Off the window the panel is not refreshed: a key pressed on another page
    // switches from what the engine does, not from what the panel last showed.
    showSwitchesOfEngine();
    button.setToggleState (! button.getToggleState(), juce::sendNotificationSync);
}

void MetronomeComponent::nudgeTempo (float deltaBpm)
{
    applyBpm (processor->getBpm() + deltaBpm);
}

void MetronomeComponent::refreshPresetList()
{
    presetCombo->clear (juce::sendNotificationAsync);

    for (int i = 0; i < processor->getNumPrograms(); ++i)
        if (const auto name = processor->getProgramName (i); name.isNotEmpty())
            presetCombo->addItem (name, i + 1);

    presetCombo->setSelectedId (processor->getCurrentProgram() + 1, juce::sendNotificationAsync);
    updateControlsFromProcessor();
}

void MetronomeComponent::setPresetNameRequester (std::function<std::optional<juce::String>()> requester)
{
    askPresetName = std::move (requester);
}

void MetronomeComponent::addPreset()
{
    if (const auto name = askPresetName())
    {
        processor->addPreset (*name);

        // The new preset holds the live settings: it becomes the current one, so the
        // selection, the engine's current preset and what plays agree.
        processor->setCurrentProgram (0);
        refreshPresetList();
        noticeUnsavedPresets();
    }
}

void MetronomeComponent::deleteSelectedPreset()
{
    processor->presets.removeChild (presetCombo->getSelectedId() - 1, nullptr);
    refreshPresetList();
    noticeUnsavedPresets();
}

void MetronomeComponent::noticeUnsavedPresets()
{
    // Said once a session: the musician must learn that the list will not outlive it,
    // without being stopped at every change.
    const auto& store = processor->getPresetFile();

    if (unsavedPresetsNoticed || ! store.isBehind())
        return;

    unsavedPresetsNoticed = true;
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon,
                                            TRANS ("Presets not saved"),
                                            TRANS ("Tocksley cannot write its presets to") + "\n"
                                                + store.getFile().getFullPathName() + "\n\n"
                                                + TRANS ("Presets added or deleted now will be lost when Tocksley quits."));
}

void MetronomeComponent::noticeKeptAsidePresets()
{
    // Presets that vanish without a word look lost: the musician learns where the file
    // went, once, in the preset frame's top edge, with no dialog to dismiss at start-up.
    const auto& keptAside = processor->getPresetFile().getKeptAsideFile();

    if (keptAside == juce::File())
        return;

    const auto text = TRANS ("Presets unreadable; kept as") + " ";
    const auto path = keptAside.getFullPathName();
    const auto font = getLookAndFeel().getLabelFont (*presetFileNotice);
    const auto border = presetFileNotice->getBorderSize().getLeftAndRight();

    // Right of the frame's caption, cutting its top edge as the caption does.
    constexpr int right = 392, maxWidth = 320;
    const auto fitted = fitPath (text, path, font, (float) (maxWidth - border));
    const auto width = juce::jmin (maxWidth, juce::roundToInt (font.getStringWidthFloat (fitted)) + border + 1);

    presetFileNotice->setText (fitted, juce::dontSendNotification);
    presetFileNotice->setTooltip (text + path);
    presetFileNotice->setBounds (right - width, 0, width, 15);
    presetFileNotice->setVisible (true);
}

void MetronomeComponent::editorShown (juce::Label* label, juce::TextEditor& editor)
{
    // What is typed reads in the label's own light text, not in black on the navy panel.
    const auto lightText = label->findColour (juce::Label::textColourId);
    editor.setColour (juce::TextEditor::textColourId, lightText);
    editor.setColour (juce::CaretComponent::caretColourId, lightText);
    editor.applyColourToAllText (lightText);
}

void MetronomeComponent::labelTextChanged (juce::Label* label)
{
    if (label == bpmLabel.get())
        applyBpm (tempoFromText (label->getText()));
}

void MetronomeComponent::comboBoxChanged (juce::ComboBox* combo)
{
    const auto id = (float) combo->getSelectedId();

    if (combo == beatsPerBarCombo.get())         processor->setParameter (MetronomeProcessor::beatsPerBarParameter, id + 1.0f);
    else if (combo == beatValueCombo.get())      processor->setParameter (MetronomeProcessor::beatValueParameter, id - 1.0f);
    else if (combo == subdivisionCombo.get())    processor->setParameter (MetronomeProcessor::subdivisionParameter, id - 1.0f);
    else if (combo == soundCombo.get())          processor->setParameter (MetronomeProcessor::soundParameter, id - 1.0f);
    else if (combo == presetCombo.get())
    {
        processor->setCurrentProgram (combo->getSelectedId() - 1);
        updateControlsFromProcessor();
    }
    else if (combo == tempoMarkingCombo.get())
    {
        int lowestBpm = 0;
        if (TempoMarkings::getTempoMarking (combo->getSelectedId(), lowestBpm))
            applyBpm ((float) lowestBpm);
    }
}

void MetronomeComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff102030));
}

void MetronomeComponent::resized()
{
    timeSignatureGroup->setBounds (8, 232, 408, 128);
    bpmGroup->setBounds (8, 40, 408, 184);
    bpmSlider->setBounds (24, 168, 376, 48);
    bpmStepper->setBounds (152, 64, 120, 48);
    tapButton->setBounds (288, 64, 112, 96);
    accentButton->setBounds (288, 256, 104, 40);
    bpmLabel->setBounds (24, 64, 112, 48);
    slashLabel->setBounds (144, 248, 24, 48);
    soundGroup->setBounds (8, 368, 408, 128);
    beatLabel->setBounds (16, 600, 112, 72);
    startButton->setBounds (144, 600, 264, 72);
    beatsPerBarCombo->setBounds (40, 256, 88, 40);
    beatValueCombo->setBounds (176, 256, 88, 40);
    presetGroup->setBounds (8, 504, 408, 80);
    volumeSlider->setBounds (144, 448, 256, 40);
    soundCombo->setBounds (200, 392, 200, 40);
    soundPackLabel->setBounds (32, 400, 142, 24);
    presetCombo->setBounds (24, 528, 224, 40);
    subdivisionCombo->setBounds (200, 310, 200, 40);
    subdivisionLabel->setBounds (32, 318, 142, 24);
    listenButton->setBounds (152, 120, 120, 40);
    syncButton->setBounds (bpmGroup->getWidth() - 104, 0, 88, 22);
    linkButton->setBounds (bpmGroup->getWidth() - 232, 0, 64, 22);
    linkPeersLabel->setBounds (bpmGroup->getWidth() - 166, 1, 58, 20);
    tempoMarkingCombo->setBounds (24, 120, 112, 40);
    muteButton->setBounds (24, 448, 104, 40);
    aboutButton->setBounds (getWidth() - 104, 8, 86, 24);
    addPresetButton->setBounds (272, 528, 64, 40);
    deletePresetButton->setBounds (336, 528, 64, 40);
    aboutPanel->setBounds (16, 16, getWidth() - 32, getHeight() - 32);
}
