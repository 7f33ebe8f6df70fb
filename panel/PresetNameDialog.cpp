#include "PresetNameDialog.h"

namespace
{
    /** The framework's dialog leaves its text box without the keyboard focus, so a
        name typed at once would go nowhere. The box can take the focus only once
        the window manager has given it to the dialog's window, which happens some
        time after the dialog is shown: until then, this asks again. */
    struct FocusOnceShown : private juce::Timer
    {
        explicit FocusOnceShown (juce::Component* target) : box (target)    { startTimer (20); }

        void timerCallback() override
        {
            if (box == nullptr || box->hasKeyboardFocus (false))
            {
                stopTimer();
                return;
            }

            if (auto* peer = box->getPeer(); peer != nullptr && peer->isFocused())
                box->grabKeyboardFocus();
        }

        juce::Component::SafePointer<juce::Component> box;
    };
}

std::optional<juce::String> PresetNameDialog::ask()
{
    juce::AlertWindow dialog (TRANS ("Preset Name"), {}, juce::MessageBoxIconType::QuestionIcon, nullptr);
    dialog.addTextEditor ("name", {}, {}, false);
    dialog.addButton (TRANS ("OK"), 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog.addButton (TRANS ("Cancel"), 0, juce::KeyPress (juce::KeyPress::escapeKey));
    dialog.setAlwaysOnTop (true);

    FocusOnceShown focus (dialog.getTextEditor ("name"));
    const auto result = dialog.runModalLoop();
    return nameFromResult (result, dialog.getTextEditorContents ("name"));
}

std::optional<juce::String> PresetNameDialog::nameFromResult (int result, const juce::String& typed)
{
    // A preset without a name would have no entry in the list: it could never be chosen or deleted.
    if (result == 0 || typed.trim().isEmpty())
        return std::nullopt;

    return typed;
}
