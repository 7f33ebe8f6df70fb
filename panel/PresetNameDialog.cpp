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

    /** Until the window manager hands the new window the focus, the keys typed go to
        the panel's window, which passes them to the modal dialog itself, not to its
        text box. Those keys are written into the box, so that a name typed as soon as
        the dialog appears is kept whole, however busy the machine. */
    class NameWindow : public juce::AlertWindow
    {
    public:
        NameWindow() : juce::AlertWindow (TRANS ("Preset Name"), {}, juce::MessageBoxIconType::QuestionIcon, nullptr)
        {
            addTextEditor ("name", {}, {}, false);
            addButton (TRANS ("OK"), 1, juce::KeyPress (juce::KeyPress::returnKey));
            addButton (TRANS ("Cancel"), 0, juce::KeyPress (juce::KeyPress::escapeKey));
            setAlwaysOnTop (true);
        }

        bool keyPressed (const juce::KeyPress& key) override
        {
            if (juce::AlertWindow::keyPressed (key))
                return true;

            auto* box = getTextEditor ("name");
            const auto character = key.getTextCharacter();
            const auto modifiers = key.getModifiers();

            if (box == nullptr || character < ' ' || modifiers.isCtrlDown() || modifiers.isAltDown())
                return false;

            box->insertTextAtCaret (juce::String::charToString (character));
            return true;
        }
    };
}

std::optional<juce::String> PresetNameDialog::ask()
{
    NameWindow dialog;
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
