#pragma once

#include "BarBeatDisplay.h"
#include "BeatLevelButton.h"
#include "DisplayRefresh.h"
#include "engine/MetronomeProcessor.h"

#include <array>
#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

/**
    The third tab: the practice features of the engine in the panel's look. The
    bar's accent pattern (one button a beat, the beat playing lit), a count-in,
    the speed trainer, the gap click, the musician's own accent and click sounds,
    a large bar-and-beat display, and START, which is the panel's own switch.

    The page shows what the engine holds: whatever changes the settings (a
    preset chosen, ACCENT on the first tab, beats per bar) is shown here within
    a timer tick, and only the controls whose value changed are redrawn.
*/
class PracticePage : public juce::Component
{
public:
    /** Asks the musician for a sound file, then calls back with it; with no file if cancelled. */
    using FileRequester = std::function<void (MetronomeProcessor::SoundRole, std::function<void (const juce::File&)>)>;

    /** pressStart presses the panel's START, so that both switches are one. */
    PracticePage (MetronomeProcessor& processor, std::function<void()> pressStart);
    ~PracticePage() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Reads the engine's settings and position into the page (the display refresh does it too). */
    void refresh();

    /** Replaces the file chooser (for tests). */
    void setFileRequester (FileRequester requester)     { requestFile = std::move (requester); }

    static constexpr int maxBeatsInView = 16;

    //==============================================================================
    // For tests and the keyboard: the page's controls.
    BeatLevelButton& getBeatButton (int index)          { return *beatButtons[(size_t) index]; }
    int getNumBeatsInView() const noexcept              { return beatsInView; }
    juce::ToggleButton& getSoftSubdivisionsButton()     { return *softSubdivisionsButton; }
    juce::ComboBox& getCountInSelector()                { return *countInCombo; }
    juce::ToggleButton& getTrainerButton()              { return *trainerButton; }
    juce::Slider& getTrainerTarget()                    { return *trainerTargetSlider; }
    juce::Slider& getTrainerStep()                      { return *trainerStepSlider; }
    juce::Slider& getTrainerEvery()                     { return *trainerEverySlider; }
    juce::Label& getTrainerNow()                        { return *trainerNowLabel; }
    juce::ComboBox& getGapSelector()                    { return *gapCombo; }
    juce::Slider& getPlayBars()                         { return *playBarsSlider; }
    juce::Slider& getMuteBars()                         { return *muteBarsSlider; }
    juce::Slider& getRandomMutePercent()                { return *randomMuteSlider; }
    juce::TextButton& getChooseButton (MetronomeProcessor::SoundRole role)  { return *ownSoundRows[(size_t) role].choose; }
    juce::TextButton& getClearButton (MetronomeProcessor::SoundRole role)   { return *ownSoundRows[(size_t) role].clear; }
    juce::Label& getOwnSoundName (MetronomeProcessor::SoundRole role)       { return *ownSoundRows[(size_t) role].name; }
    juce::Label& getOwnSoundProblem()                   { return *ownSoundProblemLabel; }
    BarBeatDisplay& getDisplay()                        { return *display; }
    juce::Label& getPlayingTempo()                      { return *playingTempoLabel; }
    juce::ToggleButton& getStartButton()                { return *startButton; }

private:
    struct OwnSoundRow
    {
        std::unique_ptr<juce::Label> caption;
        std::unique_ptr<juce::TextButton> choose;
        std::unique_ptr<juce::TextButton> clear;
        std::unique_ptr<juce::Label> name;
        juce::String problem;   // why the last file chosen could not be played
    };

    void change (const std::function<void (PracticeSettings&)>& edit);
    void showSettings (const PracticeSettings&, int beatsPerBar);
    void showPosition();
    void showOwnSounds();
    void chooseOwnSound (MetronomeProcessor::SoundRole);
    void clearOwnSound (MetronomeProcessor::SoundRole);
    void launchFileChooser (MetronomeProcessor::SoundRole, std::function<void (const juce::File&)>);

    MetronomeProcessor& processor;
    std::function<void()> pressStart;
    FileRequester requestFile;
    std::unique_ptr<juce::FileChooser> fileChooser;

    PracticeSettings shownSettings;
    int shownBeatsPerBar = 0;
    int beatsInView = 0;

    std::unique_ptr<juce::GroupComponent> barGroup, trainerGroup, countInGroup, gapGroup, soundsGroup;
    std::array<std::unique_ptr<BeatLevelButton>, maxBeatsInView> beatButtons;
    std::unique_ptr<juce::ToggleButton> softSubdivisionsButton;
    std::unique_ptr<juce::ComboBox> countInCombo;
    std::unique_ptr<juce::ToggleButton> trainerButton;
    std::unique_ptr<juce::Label> trainerTargetCaption, trainerStepCaption, trainerEveryCaption;
    std::unique_ptr<juce::Slider> trainerTargetSlider, trainerStepSlider, trainerEverySlider;
    std::unique_ptr<juce::Label> trainerNowLabel;
    std::unique_ptr<juce::ComboBox> gapCombo;
    std::unique_ptr<juce::Label> playBarsCaption, muteBarsCaption, randomMuteCaption;
    std::unique_ptr<juce::Slider> playBarsSlider, muteBarsSlider, randomMuteSlider;
    std::array<OwnSoundRow, 2> ownSoundRows;
    std::unique_ptr<juce::Label> ownSoundProblemLabel;
    std::unique_ptr<BarBeatDisplay> display;
    std::unique_ptr<juce::Label> playingTempoLabel;
    std::unique_ptr<juce::ToggleButton> startButton;
    std::unique_ptr<DisplayRefresh> refresher;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PracticePage)
};
