#include "engine/MetronomeProcessor.h"
#include "panel/MetronomeComponent.h"
#include "panel/PresetNameDialog.h"

#include <gtest/gtest.h>

// The preset frame of the panel on a real engine; the name dialog answered by the test.

namespace
{
    constexpr int presetComboIndex = 17, addButtonIndex = 24, deleteButtonIndex = 25;

    juce::ValueTree preset (const juce::String& name, float bpm)
    {
        juce::ValueTree p ("preset");
        p.setProperty ("name", name, nullptr);
        p.setProperty ("bpm", bpm, nullptr);
        return p;
    }

    void dispatchMessages()
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (30);
    }

    struct PresetPanel
    {
        explicit PresetPanel (std::initializer_list<std::pair<const char*, float>> stored, int active)
        {
            for (const auto& [name, bpm] : stored)
                engine.presets.appendChild (preset (name, bpm), nullptr);
            engine.presets.setProperty ("active", active, nullptr);

            panel = std::make_unique<MetronomeComponent> (engine);
            panel->setPresetNameRequester ([this] { return answer; });
            dispatchMessages();
        }

        juce::ComboBox& list()     { return *dynamic_cast<juce::ComboBox*> (panel->getChildComponent (presetComboIndex)); }

        juce::StringArray items()
        {
            juce::StringArray names;
            for (int i = 0; i < list().getNumItems(); ++i)
                names.add (list().getItemText (i));
            return names;
        }

        void press (int buttonIndex)
        {
            panel->buttonClicked (dynamic_cast<juce::Button*> (panel->getChildComponent (buttonIndex)));
            dispatchMessages();
        }

        MetronomeProcessor engine { juce::File() };
        std::unique_ptr<MetronomeComponent> panel;
        std::optional<juce::String> answer;
    };
}

TEST (PanelPresets, StartUpSelectsAndAppliesTheCurrentPreset)
{
    PresetPanel p ({ { "A", 90 }, { "B", 100 }, { "C", 133 } }, 2);

    EXPECT_EQ (p.items(), juce::StringArray ({ "A", "B", "C" }));
    EXPECT_EQ (p.list().getSelectedId(), 3);
    EXPECT_EQ (p.engine.getBpm(), 133.0f);
}

TEST (PanelPresets, AddingListsTheNewPresetFirstAndMakesItCurrent)
{
    PresetPanel p ({ { "A", 90 }, { "B", 100 }, { "C", 133 } }, 2);
    p.engine.setParameter (MetronomeProcessor::bpmParameter, 77.0f);

    p.answer = "X";
    p.press (addButtonIndex);

    EXPECT_EQ (p.items(), juce::StringArray ({ "X", "A", "B", "C" }));
    EXPECT_EQ (p.list().getSelectedId(), 1);
    EXPECT_EQ (p.engine.getCurrentProgram(), 0);
    EXPECT_EQ (p.engine.getBpm(), 77.0f);

    // Duplicate names are both listed.
    p.press (addButtonIndex);
    EXPECT_EQ (p.items(), juce::StringArray ({ "X", "X", "A", "B", "C" }));
}

TEST (PanelPresets, CancelAndBlankNamesStoreNothing)
{
    PresetPanel p ({ { "A", 90 } }, 0);

    p.answer = std::nullopt;
    p.press (addButtonIndex);
    EXPECT_EQ (p.engine.getNumPrograms(), 1);

    EXPECT_EQ (PresetNameDialog::nameFromResult (1, "   "), std::nullopt);
    EXPECT_EQ (PresetNameDialog::nameFromResult (1, ""), std::nullopt);
    EXPECT_EQ (PresetNameDialog::nameFromResult (0, "Named"), std::nullopt);
    EXPECT_EQ (PresetNameDialog::nameFromResult (1, " Swing "), juce::String (" Swing "));
}

TEST (PanelPresets, DeletingTheSelectedPreset)
{
    PresetPanel p ({ { "A", 90 }, { "B", 100 }, { "C", 133 } }, 1);
    ASSERT_EQ (p.engine.getBpm(), 100.0f);

    // The preset that followed moves into the deleted one's place and is applied.
    p.press (deleteButtonIndex);
    EXPECT_EQ (p.items(), juce::StringArray ({ "A", "C" }));
    EXPECT_EQ (p.list().getSelectedId(), 2);
    EXPECT_EQ (p.engine.getBpm(), 133.0f);

    // Deleting the last of the list leaves nothing selected ...
    p.press (deleteButtonIndex);
    EXPECT_EQ (p.items(), juce::StringArray ({ "A" }));
    EXPECT_EQ (p.list().getSelectedId(), 0);
    EXPECT_EQ (p.engine.getCurrentProgram(), 0);

    // ... and the next rebuild selects the first again.
    p.press (deleteButtonIndex);
    EXPECT_EQ (p.items(), juce::StringArray ({ "A" }));
    EXPECT_EQ (p.list().getSelectedId(), 1);
    EXPECT_EQ (p.engine.getBpm(), 90.0f);
}

TEST (PanelPresets, AnEmptyListStaysEmpty)
{
    PresetPanel p ({}, 0);
    p.press (deleteButtonIndex);
    EXPECT_EQ (p.list().getNumItems(), 0);
    EXPECT_EQ (p.engine.getNumPrograms(), 0);
}

TEST (PanelPresets, ChoosingAPresetAppliesIt)
{
    PresetPanel p ({ { "A", 90 }, { "B", 100 } }, 0);
    p.list().setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (p.engine.getBpm(), 100.0f);
    EXPECT_EQ (p.engine.getCurrentProgram(), 1);
}

//==============================================================================
namespace
{
    constexpr int beatLabelIndex = 9, beatsPerBarComboIndex = 11, beatValueComboIndex = 12, soundComboIndex = 15,
                  subdivisionComboIndex = 18;

    // Hand-edited: values that no selector of the panel lists.
    const char* const handEditedFile =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<presets active=\"0\">\n"
        "  <preset name=\"Odd\" bpm=\"120\" beatsPerBarIndex=\"50\" beatsValueIndex=\"1\" sound=\"7\"\n"
        "          gain=\"1\" accent=\"0\" subDivIndex=\"-3\" mute=\"0\"/>\n"
        "  <preset name=\"Odder\" bpm=\"120\" beatsPerBarIndex=\"-2\" beatsValueIndex=\"9\" sound=\"-5\"\n"
        "          gain=\"1\" accent=\"0\" subDivIndex=\"12\" mute=\"0\"/>\n"
        "</presets>\n";

    struct HandEditedPresets
    {
        HandEditedPresets()
        {
            EXPECT_TRUE (file.getParentDirectory().createDirectory());
            EXPECT_TRUE (file.replaceWithText (handEditedFile, false, false, nullptr));
            engine = std::make_unique<MetronomeProcessor> (file);
            panel = std::make_unique<MetronomeComponent> (*engine);
            dispatchMessages();
        }

        ~HandEditedPresets()
        {
            panel.reset();
            engine.reset();
            directory.deleteRecursively();
        }

        juce::ComboBox& combo (int index)   { return *dynamic_cast<juce::ComboBox*> (panel->getChildComponent (index)); }
        juce::String shown (int index)      { return combo (index).getText(); }

        juce::String storedValue (int presetIndex, const char* name)
        {
            return juce::parseXML (file)->getChildElement (presetIndex)->getStringAttribute (name);
        }

        juce::File directory { juce::File::createTempFile ("presets") };
        juce::File file { directory.getChildFile ("preset.dat") };
        std::unique_ptr<MetronomeProcessor> engine;
        std::unique_ptr<MetronomeComponent> panel;
    };
}

TEST (PanelPresets, ValuesOutsideThePanelsListsAreShownAndPlayedAsTheNearestChoice)
{
    HandEditedPresets p;

    // 50 beats, pack 7 and subdivision -3: the last beats choice, the pack the engine plays, the first subdivision.
    EXPECT_EQ (p.shown (beatsPerBarComboIndex), "8");
    EXPECT_EQ (p.engine->getBeatsPerBar(), 8);
    EXPECT_EQ (p.shown (soundComboIndex), "Classic");
    EXPECT_EQ (p.engine->getSoundIndex(), 0);
    EXPECT_EQ (p.shown (subdivisionComboIndex), "1/2 Notes");
    EXPECT_EQ (p.engine->ticksPerBeat.load(), 0.5f);
    EXPECT_EQ (p.shown (beatValueComboIndex), "4");

    // The beat number counts the bar the panel shows: a click every two beats, the fifth starts bar 2.
    p.engine->prepareToPlay (48000.0, 512);
    p.engine->setParameter (MetronomeProcessor::startParameter, 1.0f);
    juce::AudioBuffer<float> buffer (2, 512);
    juce::MidiBuffer midi;

    for (int rendered = 0; rendered <= 4 * 48000; rendered += buffer.getNumSamples())
        p.engine->processBlock (buffer, midi);

    p.panel->timerCallback();
    EXPECT_EQ (dynamic_cast<juce::Label*> (p.panel->getChildComponent (beatLabelIndex))->getText(), "1");

    // The other way out of the lists: -2 beats, beat value 9, pack -5, subdivision 12.
    p.combo (presetComboIndex).setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (p.shown (beatsPerBarComboIndex), "2");
    EXPECT_EQ (p.engine->getBeatsPerBar(), 2);
    EXPECT_EQ (p.shown (beatValueComboIndex), "8");
    EXPECT_EQ (p.engine->getBeatValue(), 8);
    EXPECT_EQ (p.shown (soundComboIndex), "Classic");
    EXPECT_EQ (p.engine->getSoundIndex(), 0);
    EXPECT_EQ (p.shown (subdivisionComboIndex), "1/16 Notes");
    EXPECT_EQ (p.engine->ticksPerBeat.load(), 2.0f);

    // A preset stored from here holds what plays.
    p.engine->addPreset ("Kept");
    EXPECT_EQ ((int) p.engine->presets.getChild (0).getProperty ("beatsPerBarIndex"), 2);
    EXPECT_EQ ((int) p.engine->presets.getChild (0).getProperty ("sound"), 0);
}

TEST (PanelPresets, ApplyingAHandEditedPresetLeavesTheFileAsItWas)
{
    HandEditedPresets p;

    // Chosen at start and chosen again: the file is not written.
    p.panel->comboBoxChanged (&p.combo (presetComboIndex));
    dispatchMessages();
    EXPECT_EQ (p.file.loadFileAsString(), juce::String (handEditedFile));

    // Choosing the other one stores the choice, and every preset keeps its own values.
    p.combo (presetComboIndex).setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (p.storedValue (0, "beatsPerBarIndex"), "50");
    EXPECT_EQ (p.storedValue (0, "sound"), "7");
    EXPECT_EQ (p.storedValue (0, "subDivIndex"), "-3");
    EXPECT_EQ (p.storedValue (1, "beatsPerBarIndex"), "-2");
    EXPECT_EQ (p.storedValue (1, "beatsValueIndex"), "9");
}

//==============================================================================
namespace
{
    constexpr int presetGroupIndex = 13;

    /** The panel on an engine whose preset file, in the given directory, holds the text. */
    struct PresetFilePanel
    {
        PresetFilePanel (const juce::File& dir, const juce::String& contents)
            : file (dir.getChildFile ("preset.dat"))
        {
            EXPECT_TRUE (dir.createDirectory());
            EXPECT_TRUE (file.replaceWithText (contents, false, false, nullptr));
            engine = std::make_unique<MetronomeProcessor> (file);
            panel = std::make_unique<MetronomeComponent> (*engine);
            dispatchMessages();
        }

        /** The visible labels that the preset frame holds. */
        juce::Array<juce::Label*> notices()
        {
            juce::Array<juce::Label*> labels;

            for (auto* child : panel->getChildComponent (presetGroupIndex)->getChildren())
                if (auto* label = dynamic_cast<juce::Label*> (child); label != nullptr && label->isVisible())
                    labels.add (label);

            return labels;
        }

        juce::File file;
        std::unique_ptr<MetronomeProcessor> engine;
        std::unique_ptr<MetronomeComponent> panel;
    };

    /** The notice's text names the path: whole, or its start and its end around "...". */
    ::testing::AssertionResult namesPath (const juce::String& text, const juce::String& path)
    {
        const juce::String prefix ("Presets unreadable; kept as ");

        if (text == prefix + path)
            return ::testing::AssertionSuccess();

        const auto shown = text.fromFirstOccurrenceOf (prefix, false, false);
        const auto head = shown.upToFirstOccurrenceOf ("...", false, false);
        const auto tail = shown.fromFirstOccurrenceOf ("...", false, false);

        if (text.startsWith (prefix) && shown.contains ("...") && path.startsWith (head) && path.endsWith (tail)
             && tail.endsWith ("/" + juce::File (path).getFileName()))
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << "\"" << text << "\" does not name " << path;
    }

    struct TemporaryDirectory
    {
        ~TemporaryDirectory()   { directory.deleteRecursively(); }
        juce::File directory { juce::File::createTempFile ("presets") };
    };
}

TEST (PanelPresets, AnUnreadablePresetFileIsNamedInThePresetFrame)
{
    TemporaryDirectory temp;
    PresetFilePanel p (temp.directory, "<presets><preset name=\"half a file");

    const auto keptAs = p.file.getFullPathName() + ".bad";
    ASSERT_EQ (p.engine->getPresetFile().getKeptAsideFile().getFullPathName(), keptAs);

    const auto notices = p.notices();
    ASSERT_EQ (notices.size(), 1);
    auto& notice = *notices.getFirst();
    EXPECT_TRUE (namesPath (notice.getText(), keptAs));
    EXPECT_EQ (notice.getTooltip(), "Presets unreadable; kept as " + keptAs);

    // In the frame's top edge, right of its caption, clear of the list and its buttons.
    const auto frame = p.panel->getChildComponent (presetGroupIndex)->getBounds();
    const auto bounds = notice.getBounds() + frame.getPosition();
    EXPECT_TRUE (frame.contains (bounds)) << bounds.toString();
    EXPECT_LE (bounds.getBottom(), 528);
    EXPECT_GE (bounds.getX(), 80);
    EXPECT_GE (notice.getFont().getHeight(), 15.0f);

    // Nothing else moved.
    EXPECT_EQ (p.panel->getNumChildComponents(), 27);
    EXPECT_EQ (frame, juce::Rectangle<int> (8, 504, 408, 80));
}

TEST (PanelPresets, ALongKeptAsidePathFitsWithItsFileNameAndTheFullPathInTheTooltip)
{
    TemporaryDirectory temp;
    auto deep = temp.directory;

    for (int i = 0; i < 6; ++i)
        deep = deep.getChildFile ("a rather long folder name " + juce::String (i));

    PresetFilePanel p (deep, "not a preset list");
    const auto keptAs = p.file.getFullPathName() + ".bad";

    const auto notices = p.notices();
    ASSERT_EQ (notices.size(), 1);
    auto& notice = *notices.getFirst();

    const auto textWidth = notice.getFont().getStringWidthFloat (notice.getText());
    EXPECT_LE (textWidth, (float) (notice.getWidth() - notice.getBorderSize().getLeftAndRight())) << notice.getText();
    EXPECT_TRUE (namesPath (notice.getText(), keptAs));
    EXPECT_TRUE (notice.getText().endsWith (".../preset.dat.bad")) << notice.getText();
    EXPECT_EQ (notice.getTooltip(), "Presets unreadable; kept as " + keptAs);
}

TEST (PanelPresets, AReadablePresetFileGivesNoNotice)
{
    TemporaryDirectory temp;
    PresetFilePanel p (temp.directory, "<presets><preset name=\"A\" bpm=\"90\"/></presets>");

    EXPECT_EQ (p.engine->getPresetFile().getKeptAsideFile(), juce::File());
    EXPECT_TRUE (p.notices().isEmpty());
}
