#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The controls of the window's pages, made alike: framed sections, labels,
    selectors and buttons in the panel's colours and fonts. */
namespace PanelWidgets
{
    template <typename ComponentType, typename... Args>
    std::unique_ptr<ComponentType> addVisible (juce::Component& parent, Args&&... args)
    {
        auto child = std::make_unique<ComponentType> (std::forward<Args> (args)...);
        parent.addAndMakeVisible (*child);
        return child;
    }

    inline std::unique_ptr<juce::GroupComponent> makeGroup (juce::Component& parent, const juce::String& text, juce::Colour colour)
    {
        auto group = addVisible<juce::GroupComponent> (parent, "new group", text);
        group->setColour (juce::GroupComponent::outlineColourId, colour);
        group->setColour (juce::GroupComponent::textColourId, colour);
        return group;
    }

    inline std::unique_ptr<juce::Label> makeLabel (juce::Component& parent, const juce::String& text, const juce::Font& font,
                                                   juce::Justification justification)
    {
        auto label = addVisible<juce::Label> (parent, "new label", text);
        label->setFont (font);
        label->setJustificationType (justification);
        label->setEditable (false, false, false);
        label->setColour (juce::TextEditor::textColourId, juce::Colours::black);
        label->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
        return label;
    }

    inline std::unique_ptr<juce::ComboBox> makeCombo (juce::Component& parent, juce::Justification justification,
                                                      const juce::StringArray& items)
    {
        auto combo = addVisible<juce::ComboBox> (parent, "new combo box");
        combo->setEditableText (false);
        combo->setJustificationType (justification);
        combo->setTextWhenNothingSelected ({});
        combo->setTextWhenNoChoicesAvailable (TRANS ("(no choices)"));

        for (int i = 0; i < items.size(); ++i)
            combo->addItem (items[i], i + 1);

        return combo;
    }

    template <typename ButtonType>
    std::unique_ptr<ButtonType> makeButton (juce::Component& parent, const juce::String& name, const juce::String& text,
                                            const juce::String& tooltip = {})
    {
        auto button = addVisible<ButtonType> (parent, name);
        button->setButtonText (text);
        button->setTooltip (tooltip);
        return button;
    }
}
