#include "PresetNameDialog.h"

std::optional<juce::String> PresetNameDialog::ask()
{
    juce::AlertWindow dialog (TRANS ("Preset Name"), {}, juce::MessageBoxIconType::QuestionIcon, nullptr);
    dialog.addTextEditor ("name", {}, {}, false);
    dialog.addButton (TRANS ("OK"), 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog.addButton (TRANS ("Cancel"), 0, juce::KeyPress (juce::KeyPress::escapeKey));
    dialog.setAlwaysOnTop (true);

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
