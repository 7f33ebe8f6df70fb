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
