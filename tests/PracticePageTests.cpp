#include "ToneFile.h"
#include "app/AboutPanel.h"
#include "app/KeyboardCommands.h"
#include "app/MainComponent.h"
#include "engine/MetronomeProcessor.h"
#include "panel/MetronomeComponent.h"
#include "panel/PracticePage.h"

#include <gtest/gtest.h>

// The Practice page and the keyboard's commands in the real window content,
// built headlessly: the engine is driven directly, block by block.

namespace
{
    using SoundRole = MetronomeProcessor::SoundRole;

    void dispatchMessages()
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    }

    void click (juce::Button& button)
    {
        button.triggerClick();
        dispatchMessages();
    }

    struct Window
    {
        Window()
        {
            engine.prepareToPlay (48000.0, 512);
            dispatchMessages();
        }

        PracticePage& page()
        {
            return *dynamic_cast<PracticePage*> (main.getTabs().getTabContentComponent (MainComponent::practiceTab));
        }

        void play (int samples)
        {
            juce::AudioBuffer<float> buffer (2, 512);
            juce::MidiBuffer midi;
            for (int done = 0; done < samples; done += 512)
                engine.processBlock (buffer, midi);
        }

        bool pressKey (const juce::KeyPress& key)
        {
            return main.getKeyboardCommands().getCommandManager().getKeyMappings()->keyPressed (key, &main);
        }

        MainComponent main { juce::File() };
        MetronomeProcessor& engine = main.getProcessor();
    };

    std::vector<BeatLevel> levelsShown (PracticePage& page)
    {
        std::vector<BeatLevel> levels;
        for (int i = 0; i < page.getNumBeatsInView(); ++i)
            levels.push_back (page.getBeatButton (i).getLevel());
        return levels;
    }
}

TEST (PracticePage, BeatButtonsCycleTheLevelsTheEnginePlays)
{
    Window w;
    auto& page = w.page();
    ASSERT_EQ (page.getNumBeatsInView(), 4);

    const BeatLevel cycle[] = { BeatLevel::soft, BeatLevel::silent, BeatLevel::accent, BeatLevel::normal };
    for (const auto expected : cycle)
    {
        click (page.getBeatButton (1));
        EXPECT_EQ (w.engine.getPracticeSettings().pattern[1], expected);
        EXPECT_EQ (page.getBeatButton (1).getLevel(), expected);
    }

    // Beat 1 and ACCENT are one setting, whichever side changes it.
    click (page.getBeatButton (0));
    click (page.getBeatButton (0));
    click (page.getBeatButton (0));
    EXPECT_EQ (page.getBeatButton (0).getLevel(), BeatLevel::accent);
    EXPECT_TRUE (w.engine.isAccentOn());

    w.main.getPanel().pressAccent();
    page.refresh();
    EXPECT_FALSE (w.engine.isAccentOn());
    EXPECT_EQ (page.getBeatButton (0).getLevel(), BeatLevel::normal);
}

TEST (PracticePage, TheBarFollowsTheBeatsPerBarSetOnTheFirstTab)
{
    Window w;
    auto& page = w.page();

    w.engine.setParameter (MetronomeProcessor::beatsPerBarParameter, 7.0f);
    page.refresh();
    EXPECT_EQ (page.getNumBeatsInView(), 7);
    EXPECT_TRUE (page.getBeatButton (6).isVisible());
    EXPECT_FALSE (page.getBeatButton (7).isVisible());
    EXPECT_LT (page.getBeatButton (6).getRight(), page.getWidth());

    // A bar longer than the page can show: sixteen beats in view, in two rows.
    w.engine.setParameter (MetronomeProcessor::beatsPerBarParameter, 40.0f);
    page.refresh();
    EXPECT_EQ (page.getNumBeatsInView(), PracticePage::maxBeatsInView);
    EXPECT_GT (page.getBeatButton (15).getY(), page.getBeatButton (7).getY());
    EXPECT_FALSE (page.getBeatButton (15).getBounds().intersects (page.getBeatButton (7).getBounds()));
}

TEST (PracticePage, EveryControlSetsItsOwnSettingAndNoOther)
{
    Window w;
    auto& page = w.page();
    const auto settings = [&w] { return w.engine.getPracticeSettings(); };
    const auto sync = juce::sendNotificationSync;

    page.getCountInSelector().setSelectedId (3, sync);
    EXPECT_EQ (settings().countInBars, 2);

    click (page.getSoftSubdivisionsButton());
    EXPECT_TRUE (settings().softSubdivisions);

    click (page.getTrainerButton());
    page.getTrainerTarget().setValue (150.0, sync);
    page.getTrainerStep().setValue (7.0, sync);
    page.getTrainerEvery().setValue (2.0, sync);
    EXPECT_TRUE (settings().trainerOn);
    EXPECT_EQ (settings().trainerTargetBpm, 150.0f);
    EXPECT_EQ (settings().trainerStepBpm, 7.0f);
    EXPECT_EQ (settings().trainerEveryBars, 2);

    EXPECT_FALSE (page.getPlayBars().isEnabled());
    page.getGapSelector().setSelectedId (2, sync);
    page.getPlayBars().setValue (3.0, sync);
    page.getMuteBars().setValue (2.0, sync);
    EXPECT_EQ (settings().gap, PracticeSettings::Gap::fixedBars);
    EXPECT_EQ (settings().playBars, 3);
    EXPECT_EQ (settings().muteBars, 2);
    EXPECT_TRUE (page.getPlayBars().isEnabled());
    EXPECT_FALSE (page.getRandomMutePercent().isVisible());

    page.getGapSelector().setSelectedId (3, sync);
    page.getRandomMutePercent().setValue (40.0, sync);
    EXPECT_EQ (settings().gap, PracticeSettings::Gap::randomBars);
    EXPECT_EQ (settings().randomMutePercent, 40.0f);
    EXPECT_TRUE (page.getRandomMutePercent().isVisible());
    EXPECT_FALSE (page.getPlayBars().isVisible());

    // Everything set above is still as it was set.
    EXPECT_EQ (settings().countInBars, 2);
    EXPECT_EQ (settings().playBars, 3);
    EXPECT_EQ (settings().trainerTargetBpm, 150.0f);
    EXPECT_TRUE (settings().softSubdivisions);
}

TEST (PracticePage, ShowsTheSettingsOfThePresetChosen)
{
    Window w;
    auto& page = w.page();

    PracticeSettings stored;
    stored.countInBars = 3;
    stored.trainerOn = true;
    stored.trainerTargetBpm = 180.0f;
    stored.gap = PracticeSettings::Gap::fixedBars;
    stored.muteBars = 5;
    stored.pattern[2] = BeatLevel::silent;
    w.engine.setPracticeSettings (stored);
    w.engine.addPreset ("Drill");

    w.engine.setPracticeSettings (PracticeSettings());
    page.refresh();
    EXPECT_EQ (page.getCountInSelector().getSelectedId(), 1);

    w.engine.setCurrentProgram (0);
    page.refresh();
    EXPECT_EQ (page.getCountInSelector().getSelectedId(), 4);
    EXPECT_TRUE (page.getTrainerButton().getToggleState());
    EXPECT_EQ (page.getTrainerTarget().getValue(), 180.0);
    EXPECT_EQ (page.getGapSelector().getSelectedId(), 2);
    EXPECT_EQ (page.getMuteBars().getValue(), 5.0);
    EXPECT_EQ (levelsShown (page), (std::vector<BeatLevel> { BeatLevel::normal, BeatLevel::normal, BeatLevel::silent, BeatLevel::normal }));
}

TEST (PracticePage, TheDisplayCountsInThenShowsBarAndBeatWithThePlayingBeatLit)
{
    Window w;
    auto& page = w.page();

    PracticeSettings settings;
    settings.countInBars = 2;
    w.engine.setPracticeSettings (settings);
    w.engine.setParameter (MetronomeProcessor::bpmParameter, 120.0f);
    w.engine.setParameter (MetronomeProcessor::startParameter, 1.0f);

    // Every beat (24000 samples at 120 BPM) seen once, in the middle of it.
    juce::StringArray seen;
    w.play (12000);
    for (int beat = 0; beat < 10; ++beat)
    {
        page.refresh();
        seen.add (page.getDisplay().getBarText() + "/" + page.getDisplay().getBeatText());

        int lit = 0;
        for (int i = 0; i < page.getNumBeatsInView(); ++i)
            if (page.getBeatButton (i).isLit())
                lit = i + 1;
        seen.getReference (seen.size() - 1) << " lit " << lit;
        w.play (24000);
    }

    EXPECT_EQ (seen, juce::StringArray ({ "-2/1 lit 0", "-2/2 lit 0", "-2/3 lit 0", "-2/4 lit 0",
                                          "-1/1 lit 0", "-1/2 lit 0", "-1/3 lit 0", "-1/4 lit 0",
                                          "1/1 lit 1", "1/2 lit 2" }));

    w.engine.setParameter (MetronomeProcessor::startParameter, 0.0f);
    page.refresh();
    EXPECT_FALSE (page.getBeatButton (1).isLit());
}

TEST (PracticePage, ShowsTheTrainersTempoWhileItRuns)
{
    Window w;
    auto& page = w.page();

    PracticeSettings settings;
    settings.trainerOn = true;
    settings.trainerStepBpm = 10.0f;
    settings.trainerEveryBars = 1;
    w.engine.setPracticeSettings (settings);
    w.engine.setParameter (MetronomeProcessor::bpmParameter, 120.0f);
    page.refresh();
    EXPECT_EQ (page.getTrainerNow().getText(), "");

    w.engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    w.play (96000 + 12000);     // one bar at 120, into the second at 130
    page.refresh();
    EXPECT_EQ (page.getTrainerNow().getText(), "now 130");
    EXPECT_EQ (page.getPlayingTempo().getText(), "130");
}

TEST (PracticePage, OwnSoundsAreChosenClearedOrRefusedInWords)
{
    Window w;
    auto& page = w.page();
    const auto dir = juce::File::createTempFile ("own-sounds");
    dir.createDirectory();

    juce::File offered;
    page.setFileRequester ([&offered] (SoundRole, std::function<void (const juce::File&)> done) { done (offered); });

    offered = dir.getChildFile ("notes.txt");
    offered.replaceWithText ("not a sound");
    click (page.getChooseButton (SoundRole::accent));
    EXPECT_EQ (w.engine.getOwnSoundFile (SoundRole::accent), juce::File());
    EXPECT_TRUE (page.getOwnSoundProblem().getText().contains ("notes.txt"));
    EXPECT_TRUE (page.getOwnSoundProblem().getText().contains ("The sound pack's plays."));
    EXPECT_FALSE (page.getClearButton (SoundRole::accent).isEnabled());

    offered = dir.getChildFile ("wood.wav");
    ASSERT_TRUE (writeToneFile (offered, 48000.0, 1500.0, 0.05));
    click (page.getChooseButton (SoundRole::accent));
    EXPECT_EQ (w.engine.getOwnSoundFile (SoundRole::accent), offered);
    EXPECT_EQ (page.getOwnSoundName (SoundRole::accent).getText(), "wood.wav");
    EXPECT_EQ (page.getOwnSoundProblem().getText(), "");
    EXPECT_EQ (page.getOwnSoundName (SoundRole::click).getText(), "(sound pack)");

    // Cancelling the chooser changes nothing.
    offered = juce::File();
    click (page.getChooseButton (SoundRole::accent));
    EXPECT_EQ (w.engine.getOwnSoundFile (SoundRole::accent), dir.getChildFile ("wood.wav"));

    click (page.getClearButton (SoundRole::accent));
    EXPECT_EQ (w.engine.getOwnSoundFile (SoundRole::accent), juce::File());
    EXPECT_EQ (page.getOwnSoundName (SoundRole::accent).getText(), "(sound pack)");

    dir.deleteRecursively();
}

TEST (PracticePage, ItsStartIsThePanelsStart)
{
    Window w;
    auto& page = w.page();

    click (page.getStartButton());
    EXPECT_TRUE (w.engine.isRunning());
    EXPECT_TRUE (page.getStartButton().getToggleState());

    w.main.getPanel().pressStart();
    EXPECT_FALSE (w.engine.isRunning());
    page.refresh();
    EXPECT_FALSE (page.getStartButton().getToggleState());

    click (page.getStartButton());
    click (page.getStartButton());
    EXPECT_FALSE (w.engine.isRunning());
}

//==============================================================================
TEST (KeyboardCommands, EachKeyDoesWhatItsButtonDoes)
{
    Window w;
    using Key = juce::KeyPress;
    const auto shift = juce::ModifierKeys::shiftModifier;

    w.engine.setParameter (MetronomeProcessor::bpmParameter, 100.0f);

    EXPECT_TRUE (w.pressKey (Key (Key::spaceKey)));
    EXPECT_TRUE (w.engine.isRunning());
    w.pressKey (Key (Key::spaceKey));
    EXPECT_FALSE (w.engine.isRunning());

    w.pressKey (Key (Key::upKey));
    EXPECT_EQ (w.engine.getBpm(), 101.0f);
    w.pressKey (Key (Key::upKey, shift, 0));
    EXPECT_EQ (w.engine.getBpm(), 111.0f);
    w.pressKey (Key (Key::pageUpKey));
    EXPECT_EQ (w.engine.getBpm(), 121.0f);
    w.pressKey (Key (Key::pageDownKey));
    w.pressKey (Key (Key::downKey, shift, 0));
    w.pressKey (Key (Key::downKey));
    EXPECT_EQ (w.engine.getBpm(), 100.0f);

    // Never beyond the range, however often a key is pressed.
    for (int i = 0; i < 50; ++i)
        w.pressKey (Key (Key::pageUpKey));
    EXPECT_EQ (w.engine.getBpm(), 400.0f);

    w.pressKey (Key ('m'));
    EXPECT_TRUE (w.engine.isMuteOn());
    w.pressKey (Key ('a'));
    EXPECT_TRUE (w.engine.isAccentOn());
    w.pressKey (Key ('l'));
    EXPECT_TRUE (w.engine.isListenOn());
    w.pressKey (Key ('M'));
    w.pressKey (Key ('A'));
    w.pressKey (Key ('L'));
    EXPECT_FALSE (w.engine.isMuteOn());
    EXPECT_FALSE (w.engine.isAccentOn());
    EXPECT_FALSE (w.engine.isListenOn());

    // Taps half a second apart set 120 BPM, as the TAP button's do.
    juce::uint32 now = 10000;
    w.engine.setMillisecondCounter ([&now] { return now; });
    for (int i = 0; i < 4; ++i, now += 500)
        w.pressKey (Key ('t'));
    EXPECT_NEAR (w.engine.getBpm(), 120.0f, 0.01f);

    // Keys without a command are left to the rest of the window.
    EXPECT_FALSE (w.pressKey (Key ('q')));
    EXPECT_FALSE (w.pressKey (Key (Key::spaceKey, juce::ModifierKeys::ctrlModifier, 0)));
}

TEST (KeyboardCommands, TheKeysAreListedInTheAboutPanel)
{
    Window w;
    const auto keys = w.main.getPanel().getAboutPanel().getKeysLabel().getText();

    for (const auto* name : { "Start / stop", "Tap", "Tempo +1", "Tempo -1", "Tempo +10", "Tempo -10", "Mute", "Accent", "Listen" })
        EXPECT_TRUE (keys.contains (name)) << name;

    EXPECT_TRUE (keys.contains ("spacebar"));
    EXPECT_TRUE (keys.contains ("page up"));
}
