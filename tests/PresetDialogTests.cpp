#include "panel/PresetNameDialog.h"

#include <gtest/gtest.h>

// The real "Preset Name" dialog on a display, answered the way a musician would.

namespace
{
    /** Once the dialog is up, types the text and leaves it with the given key. */
    void answerDialogWith (const juce::String& text, const juce::KeyPress& key)
    {
        juce::Timer::callAfterDelay (200, [text, key]
        {
            auto* dialog = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
            ASSERT_NE (dialog, nullptr);
            EXPECT_EQ (dialog->getName(), "Preset Name");

            auto* editor = dialog->getTextEditor ("name");
            ASSERT_NE (editor, nullptr);
            EXPECT_EQ (editor->getText(), "");
            editor->setText (text);
            static_cast<juce::Component*> (dialog)->keyPressed (key);   // as if typed in the dialog
        });
    }
}

TEST (PresetDialog, ReturnStoresTheTypedName)
{
    answerDialogWith ("Shuffle & Swing", juce::KeyPress (juce::KeyPress::returnKey));
    EXPECT_EQ (PresetNameDialog::ask(), juce::String ("Shuffle & Swing"));
}

TEST (PresetDialog, EscapeAndBlankNamesStoreNothing)
{
    answerDialogWith ("Shuffle", juce::KeyPress (juce::KeyPress::escapeKey));
    EXPECT_EQ (PresetNameDialog::ask(), std::nullopt);

    answerDialogWith ("   ", juce::KeyPress (juce::KeyPress::returnKey));
    EXPECT_EQ (PresetNameDialog::ask(), std::nullopt);
}

TEST (PresetDialog, KeysThatReachTheDialogBeforeItsTextBoxAreWrittenIntoTheBox)
{
    // Typed while the window manager still keeps the focus from the new window, the
    // keys come to the dialog itself; a shortcut with Ctrl is no text.
    juce::Timer::callAfterDelay (200, []
    {
        auto* dialog = juce::Component::getCurrentlyModalComponent();
        ASSERT_NE (dialog, nullptr);

        for (auto character : juce::String ("Waltz 3"))
            EXPECT_TRUE (dialog->keyPressed (juce::KeyPress ((int) character, {}, character)));

        EXPECT_FALSE (dialog->keyPressed (juce::KeyPress ('z', juce::ModifierKeys::ctrlModifier, 'z')));
        dialog->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    });

    EXPECT_EQ (PresetNameDialog::ask(), juce::String ("Waltz 3"));
}
