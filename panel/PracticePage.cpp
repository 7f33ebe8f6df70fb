#include "PracticePage.h"
#include "PanelWidgets.h"

using namespace PanelWidgets;
using SoundRole = MetronomeProcessor::SoundRole;

namespace
{
    const juce::Colour sectionColours[] = { juce::Colour (0xfff7931d), juce::Colour (0xff00ffff), juce::Colour (0xff7fff00),
                                            juce::Colour (0xfffff8dc), juce::Colour (0xff6495ed) };

    juce::Font captionFont()    { return { 15.0f, juce::Font::plain }; }

    std::unique_ptr<juce::Label> makeCaption (juce::Component& parent, const juce::String& text)
    {
        auto label = makeLabel (parent, text, captionFont(), juce::Justification::centredLeft);
        label->setColour (juce::Label::textColourId, juce::Colours::azure);
        return label;
    }

    /** A number with - and + beside it, typed into or stepped. */
    std::unique_ptr<juce::Slider> makeStepper (juce::Component& parent, double minimum, double maximum, double interval,
                                               const juce::String& tooltip)
    {
        auto slider = addVisible<juce::Slider> (parent, "new slider");
        slider->setSliderStyle (juce::Slider::IncDecButtons);
        slider->setRange (minimum, maximum, interval);
        slider->setIncDecButtonsMode (juce::Slider::incDecButtonsNotDraggable);
        slider->setTextBoxStyle (juce::Slider::TextBoxLeft, false, 34, 20);
        slider->setTooltip (tooltip);
        return slider;
    }

    juce::String soundRoleName (SoundRole role)
    {
        return role == SoundRole::accent ? TRANS ("accent") : TRANS ("click");
    }
}

PracticePage::PracticePage (MetronomeProcessor& p, std::function<void()> startSwitch)
    : processor (p),
      pressStart (std::move (startSwitch)),
      requestFile ([this] (SoundRole role, std::function<void (const juce::File&)> done) { launchFileChooser (role, std::move (done)); })
{
    barGroup = makeGroup (*this, TRANS ("Bar"), sectionColours[0]);
    trainerGroup = makeGroup (*this, TRANS ("Trainer"), sectionColours[1]);
    countInGroup = makeGroup (*this, TRANS ("Count-in"), sectionColours[2]);
    gapGroup = makeGroup (*this, TRANS ("Gap"), sectionColours[2]);
    soundsGroup = makeGroup (*this, TRANS ("Own Sounds"), sectionColours[3]);

    for (size_t i = 0; i < beatButtons.size(); ++i)
    {
        beatButtons[i] = addVisible<BeatLevelButton> (*this, (int) i + 1);
        beatButtons[i]->onClick = [this, i]
        {
            const auto level = beatButtons[i]->getLevel();
            change ([i, level] (PracticeSettings& s) { s.pattern[i] = level; });
        };
    }

    softSubdivisionsButton = makeButton<juce::ToggleButton> (*this, "soft subdivisions", TRANS ("SOFT SUBDIVISIONS"),
                                                             TRANS ("Play the ticks between the beats softly."));
    softSubdivisionsButton->onClick = [this]
    {
        const auto on = softSubdivisionsButton->getToggleState();
        change ([on] (PracticeSettings& s) { s.softSubdivisions = on; });
    };

    countInCombo = makeCombo (*this, juce::Justification::centredLeft,
                              { TRANS ("None"), TRANS ("1 bar"), TRANS ("2 bars"), TRANS ("3 bars"), TRANS ("4 bars") });
    countInCombo->setTooltip (TRANS ("Bars counted in before the first bar at every START."));
    countInCombo->onChange = [this]
    {
        const auto bars = countInCombo->getSelectedId() - 1;
        change ([bars] (PracticeSettings& s) { s.countInBars = bars; });
    };

    trainerButton = makeButton<juce::ToggleButton> (*this, "trainer", TRANS ("TRAINER"),
                                                    TRANS ("Raise (or lower) the tempo step by step towards the target."));
    trainerButton->onClick = [this]
    {
        const auto on = trainerButton->getToggleState();
        change ([on] (PracticeSettings& s) { s.trainerOn = on; });
    };

    trainerTargetCaption = makeCaption (*this, TRANS ("Target BPM"));
    trainerTargetSlider = makeStepper (*this, MeterTables::minBpm, MeterTables::maxBpm, 1.0, TRANS ("The tempo the trainer ends at."));
    trainerTargetSlider->onValueChange = [this]
    {
        const auto bpm = (float) trainerTargetSlider->getValue();
        change ([bpm] (PracticeSettings& s) { s.trainerTargetBpm = bpm; });
    };

    trainerStepCaption = makeCaption (*this, TRANS ("Step BPM"));
    trainerStepSlider = makeStepper (*this, 1.0, 100.0, 1.0, TRANS ("How far the tempo moves at each step."));
    trainerStepSlider->onValueChange = [this]
    {
        const auto bpm = (float) trainerStepSlider->getValue();
        change ([bpm] (PracticeSettings& s) { s.trainerStepBpm = bpm; });
    };

    trainerEveryCaption = makeCaption (*this, TRANS ("Bars a step"));
    trainerEverySlider = makeStepper (*this, 1.0, 64.0, 1.0, TRANS ("How many bars each tempo plays."));
    trainerEverySlider->onValueChange = [this]
    {
        const auto bars = (int) trainerEverySlider->getValue();
        change ([bars] (PracticeSettings& s) { s.trainerEveryBars = bars; });
    };

    trainerNowLabel = makeCaption (*this, {});
    trainerNowLabel->setTooltip (TRANS ("The tempo the trainer plays now."));

    gapCombo = makeCombo (*this, juce::Justification::centredLeft, { TRANS ("Off"), TRANS ("Play / mute"), TRANS ("Random mute") });
    gapCombo->setTooltip (TRANS ("Bars without clicks, to check your own time."));
    gapCombo->onChange = [this]
    {
        const auto gap = (PracticeSettings::Gap) (gapCombo->getSelectedId() - 1);
        change ([gap] (PracticeSettings& s) { s.gap = gap; });
    };

    playBarsCaption = makeCaption (*this, TRANS ("Play"));
    playBarsSlider = makeStepper (*this, 1.0, PracticeSettings::maxGapBars, 1.0, TRANS ("Bars played before each gap."));
    playBarsSlider->onValueChange = [this]
    {
        const auto bars = (int) playBarsSlider->getValue();
        change ([bars] (PracticeSettings& s) { s.playBars = bars; });
    };

    muteBarsCaption = makeCaption (*this, TRANS ("Mute"));
    muteBarsSlider = makeStepper (*this, 1.0, PracticeSettings::maxGapBars, 1.0, TRANS ("Bars muted in each gap."));
    muteBarsSlider->onValueChange = [this]
    {
        const auto bars = (int) muteBarsSlider->getValue();
        change ([bars] (PracticeSettings& s) { s.muteBars = bars; });
    };

    randomMuteCaption = makeCaption (*this, TRANS ("Mute %"));
    randomMuteSlider = makeStepper (*this, 0.0, 100.0, 1.0, TRANS ("The share of bars muted, drawn at random."));
    randomMuteSlider->onValueChange = [this]
    {
        const auto percent = (float) randomMuteSlider->getValue();
        change ([percent] (PracticeSettings& s) { s.randomMutePercent = percent; });
    };

    for (const auto role : { SoundRole::accent, SoundRole::click })
    {
        auto& row = ownSoundRows[(size_t) role];
        row.caption = makeCaption (*this, role == SoundRole::accent ? TRANS ("Accent") : TRANS ("Click"));
        row.choose = makeButton<juce::TextButton> (*this, "choose " + soundRoleName (role), TRANS ("Choose..."),
                                                   TRANS ("Play a sound file of your own for the") + " " + soundRoleName (role));
        row.choose->onClick = [this, role] { chooseOwnSound (role); };
        row.clear = makeButton<juce::TextButton> (*this, "clear " + soundRoleName (role), TRANS ("Clear"),
                                                  TRANS ("Back to the sound pack's own") + " " + soundRoleName (role));
        row.clear->onClick = [this, role] { clearOwnSound (role); };
        row.name = makeCaption (*this, {});
        row.name->setMinimumHorizontalScale (0.7f);
    }

    ownSoundProblemLabel = makeLabel (*this, {}, captionFont(), juce::Justification::topLeft);
    ownSoundProblemLabel->setColour (juce::Label::textColourId, juce::Colours::orange);
    ownSoundProblemLabel->setMinimumHorizontalScale (0.8f);

    display = addVisible<BarBeatDisplay> (*this);

    playingTempoLabel = makeLabel (*this, {}, juce::Font ("Consolas", 40.0f, juce::Font::bold), juce::Justification::centred);
    playingTempoLabel->setColour (juce::Label::textColourId, juce::Colours::yellow);
    playingTempoLabel->setColour (juce::Label::outlineColourId, juce::Colour (0xfff7931d));
    playingTempoLabel->setTooltip (TRANS ("The tempo playing now, in BPM."));

    startButton = makeButton<juce::ToggleButton> (*this, "start", TRANS ("START"), TRANS ("Start / stop (Space)"));
    // The panel's START decides; this switch only shows what the engine does.
    startButton->setClickingTogglesState (false);
    startButton->onClick = [this] { if (pressStart != nullptr) pressStart(); refresh(); };

    // A click on the background leaves the focus where it is.
    setMouseClickGrabsKeyboardFocus (false);
    setSize (432, 680);
    refresh();
    refresher = std::make_unique<DisplayRefresh> (*this, 20, [this] { if (isShowing()) refresh(); });
}

PracticePage::~PracticePage() = default;

//==============================================================================
void PracticePage::change (const std::function<void (PracticeSettings&)>& edit)
{
    auto settings = processor.getPracticeSettings();
    edit (settings);
    processor.setPracticeSettings (settings);
    refresh();
}

void PracticePage::refresh()
{
    const auto& settings = processor.getPracticeSettings();
    const auto beatsPerBar = processor.getBeatsPerBar();

    if (settings != shownSettings || beatsPerBar != shownBeatsPerBar)
        showSettings (settings, beatsPerBar);

    showPosition();
    showOwnSounds();
}

void PracticePage::showSettings (const PracticeSettings& settings, int beatsPerBar)
{
    const auto none = juce::dontSendNotification;

    if (beatsPerBar != shownBeatsPerBar)
    {
        beatsInView = juce::jlimit (1, maxBeatsInView, beatsPerBar);
        for (size_t i = 0; i < beatButtons.size(); ++i)
            beatButtons[i]->setVisible ((int) i < beatsInView);
        resized();
    }

    for (size_t i = 0; i < beatButtons.size(); ++i)
        beatButtons[i]->setLevel (settings.pattern[i]);

    softSubdivisionsButton->setToggleState (settings.softSubdivisions, none);
    countInCombo->setSelectedId (settings.countInBars + 1, none);
    trainerButton->setToggleState (settings.trainerOn, none);
    trainerTargetSlider->setValue (settings.trainerTargetBpm, none);
    trainerStepSlider->setValue (settings.trainerStepBpm, none);
    trainerEverySlider->setValue (settings.trainerEveryBars, none);
    gapCombo->setSelectedId ((int) settings.gap + 1, none);
    playBarsSlider->setValue (settings.playBars, none);
    muteBarsSlider->setValue (settings.muteBars, none);
    randomMuteSlider->setValue (settings.randomMutePercent, none);

    const auto random = settings.gap == PracticeSettings::Gap::randomBars;
    for (auto* control : std::initializer_list<juce::Component*> { playBarsCaption.get(), playBarsSlider.get(),
                                                                   muteBarsCaption.get(), muteBarsSlider.get() })
        control->setVisible (! random);
    randomMuteCaption->setVisible (random);
    randomMuteSlider->setVisible (random);
    playBarsSlider->setEnabled (settings.gap != PracticeSettings::Gap::off);
    muteBarsSlider->setEnabled (settings.gap != PracticeSettings::Gap::off);

    shownSettings = settings;
    shownBeatsPerBar = beatsPerBar;
}

void PracticePage::showPosition()
{
    const auto running = processor.isRunning();
    const auto beat = processor.getCurrentBeat();

    startButton->setToggleState (running, juce::dontSendNotification);
    display->setPosition (processor.getCurrentBar(), beat);

    for (int i = 0; i < beatsInView; ++i)
        beatButtons[(size_t) i]->setLit (running && ! processor.isCountingIn() && beat == i + 1);

    const auto playing = juce::roundToInt (processor.getPlayingBpm());
    playingTempoLabel->setText (juce::String (playing), juce::dontSendNotification);
    trainerNowLabel->setText (shownSettings.trainerOn && running ? TRANS ("now") + " " + juce::String (playing) : juce::String(),
                              juce::dontSendNotification);
}

void PracticePage::showOwnSounds()
{
    juce::StringArray problems;

    for (const auto role : { SoundRole::accent, SoundRole::click })
    {
        auto& row = ownSoundRows[(size_t) role];
        const auto file = processor.getOwnSoundFile (role);
        row.name->setText (file == juce::File() ? TRANS ("(sound pack)") : file.getFileName(), juce::dontSendNotification);
        row.name->setTooltip (file.getFullPathName());
        row.clear->setEnabled (file != juce::File());

        const auto presetProblem = processor.getOwnSoundError (role);
        if (row.problem.isNotEmpty())
            problems.add (row.problem);
        else if (presetProblem.isNotEmpty())
            problems.add (TRANS ("The preset's") + " " + soundRoleName (role) + " " + TRANS ("sound cannot be played") + ": "
                          + presetProblem + " " + TRANS ("The sound pack's plays."));
    }

    ownSoundProblemLabel->setText (problems.joinIntoString ("\n"), juce::dontSendNotification);
}

void PracticePage::chooseOwnSound (SoundRole role)
{
    juce::Component::SafePointer<PracticePage> page (this);

    requestFile (role, [page, role] (const juce::File& file)
    {
        if (page == nullptr || file == juce::File())
            return;

        const auto result = page->processor.setOwnSound (role, file);
        page->ownSoundRows[(size_t) role].problem
            = result.wasOk() ? juce::String()
                             : file.getFileName() + " " + TRANS ("cannot be played as the") + " " + soundRoleName (role) + ": "
                                   + result.getErrorMessage() + " " + TRANS ("The sound pack's plays.");
        page->refresh();
    });
}

void PracticePage::clearOwnSound (SoundRole role)
{
    processor.clearOwnSound (role);
    ownSoundRows[(size_t) role].problem.clear();
    refresh();
}

void PracticePage::launchFileChooser (SoundRole role, std::function<void (const juce::File&)> done)
{
    fileChooser = std::make_unique<juce::FileChooser> (TRANS ("Choose a sound file for the") + " " + soundRoleName (role),
                                                       juce::File::getSpecialLocation (juce::File::userMusicDirectory),
                                                       "*.wav;*.wave;*.flac;*.ogg;*.oga");

    fileChooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                              [done = std::move (done)] (const juce::FileChooser& chooser) { done (chooser.getResult()); });
}

//==============================================================================
void PracticePage::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff102030));
}

void PracticePage::resized()
{
    barGroup->setBounds (8, 8, 408, 148);

    // One row of up to eight beats, a second row for longer bars.
    const auto perRow = juce::jmin (8, juce::jmax (1, beatsInView));
    constexpr int gap = 6;
    const auto width = juce::jmin (44, (376 - gap * (perRow - 1)) / perRow);
    for (int i = 0; i < maxBeatsInView; ++i)
        beatButtons[(size_t) i]->setBounds (24 + (i % 8) * (width + gap), 30 + (i / 8) * 40, width, 36);

    softSubdivisionsButton->setBounds (24, 114, 200, 32);

    trainerGroup->setBounds (8, 164, 408, 92);
    trainerButton->setBounds (24, 186, 92, 32);
    trainerNowLabel->setBounds (24, 222, 92, 24);
    trainerTargetCaption->setBounds (124, 182, 92, 20);
    trainerTargetSlider->setBounds (124, 204, 92, 32);
    trainerStepCaption->setBounds (222, 182, 92, 20);
    trainerStepSlider->setBounds (222, 204, 92, 32);
    trainerEveryCaption->setBounds (320, 182, 88, 20);
    trainerEverySlider->setBounds (320, 204, 88, 32);

    countInGroup->setBounds (8, 264, 120, 80);
    countInCombo->setBounds (20, 292, 96, 32);

    gapGroup->setBounds (136, 264, 280, 80);
    gapCombo->setBounds (148, 296, 112, 32);
    playBarsCaption->setBounds (266, 276, 70, 20);
    playBarsSlider->setBounds (266, 298, 70, 32);
    muteBarsCaption->setBounds (340, 276, 70, 20);
    muteBarsSlider->setBounds (340, 298, 70, 32);
    randomMuteCaption->setBounds (266, 276, 100, 20);
    randomMuteSlider->setBounds (266, 298, 100, 32);

    soundsGroup->setBounds (8, 352, 408, 136);
    for (size_t i = 0; i < ownSoundRows.size(); ++i)
    {
        auto& row = ownSoundRows[i];
        const auto y = 374 + (int) i * 36;
        row.caption->setBounds (20, y, 60, 28);
        row.choose->setBounds (82, y, 84, 28);
        row.clear->setBounds (170, y, 56, 28);
        row.name->setBounds (232, y, 176, 28);
    }
    ownSoundProblemLabel->setBounds (20, 446, 388, 38);

    display->setBounds (8, 496, 408, 96);
    playingTempoLabel->setBounds (16, 600, 112, 72);
    startButton->setBounds (144, 600, 264, 72);
}
