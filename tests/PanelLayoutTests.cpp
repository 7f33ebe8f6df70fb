#include "engine/MetronomeProcessor.h"
#include "panel/MetronomeComponent.h"

#include <gtest/gtest.h>

// The control panel as a form: its children in creation order, at their rectangles.

namespace
{
    struct PanelFixture
    {
        MetronomeProcessor engine { juce::File() };
        MetronomeComponent panel { engine };
    };

    template <typename Type>
    Type& child (juce::Component& panel, int index)
    {
        auto* c = dynamic_cast<Type*> (panel.getChildComponent (index));
        EXPECT_NE (c, nullptr) << "child " << index;
        return *c;
    }
}

TEST (PanelLayout, EveryChildAtItsRectangleInCreationOrder)
{
    PanelFixture f;
    auto& panel = f.panel;

    EXPECT_EQ (panel.getWidth(), 432);
    EXPECT_EQ (panel.getHeight(), 680);
    ASSERT_EQ (panel.getNumChildComponents(), 27);

    const juce::Rectangle<int> rectangles[] = {
        { 8, 232, 408, 128 }, { 8, 40, 408, 184 }, { 24, 168, 376, 48 }, { 152, 64, 120, 48 }, { 288, 64, 112, 96 },
        { 288, 256, 104, 40 }, { 24, 64, 112, 48 }, { 144, 248, 24, 48 }, { 8, 368, 408, 128 }, { 16, 600, 112, 72 },
        { 144, 600, 264, 72 }, { 40, 256, 88, 40 }, { 176, 256, 88, 40 }, { 8, 504, 408, 80 }, { 144, 448, 256, 40 },
        { 200, 392, 200, 40 }, { 32, 400, 142, 24 }, { 24, 528, 224, 40 }, { 200, 310, 200, 40 }, { 32, 318, 142, 24 },
        { 152, 120, 120, 40 }, { 24, 120, 112, 40 }, { 24, 448, 104, 40 }, { 328, 8, 86, 24 }, { 272, 528, 64, 40 },
        { 336, 528, 64, 40 }, { 16, 16, 400, 648 },
    };

    for (int i = 0; i < 27; ++i)
    {
        EXPECT_EQ (panel.getChildComponent (i)->getBounds(), rectangles[i]) << "child " << i;
        EXPECT_EQ (panel.getChildComponent (i)->isVisible(), i < 26) << "child " << i;
    }

    EXPECT_NE (dynamic_cast<AboutPanel*> (panel.getChildComponent (26)), nullptr);

    // Only ABOUT and the about overlay follow the panel's size.
    panel.setSize (500, 700);
    EXPECT_EQ (panel.getChildComponent (23)->getBounds(), juce::Rectangle<int> (396, 8, 86, 24));
    EXPECT_EQ (panel.getChildComponent (26)->getBounds(), juce::Rectangle<int> (16, 16, 468, 668));
    EXPECT_EQ (panel.getChildComponent (0)->getBounds(), rectangles[0]);
}

TEST (PanelLayout, TextsItemsAndRanges)
{
    PanelFixture f;
    auto& panel = f.panel;

    EXPECT_EQ (child<juce::GroupComponent> (panel, 1).getText(), "Beats Per Minute");
    EXPECT_EQ (child<juce::GroupComponent> (panel, 1).findColour (juce::GroupComponent::outlineColourId), juce::Colour (0xff00ffff));
    EXPECT_EQ (child<juce::TextButton> (panel, 4).getTooltip(), "Tap BPM");
    EXPECT_EQ (child<juce::Label> (panel, 6).getText(), "120");   // the engine's tempo replaces the initial "100"
    EXPECT_TRUE (child<juce::Label> (panel, 6).isEditableOnDoubleClick());
    EXPECT_FALSE (child<juce::Label> (panel, 6).isEditableOnSingleClick());
    EXPECT_TRUE (child<juce::Label> (panel, 7).isEditableOnSingleClick());
    EXPECT_EQ (child<juce::Label> (panel, 9).getFont().getHeight(), 64.0f);
    EXPECT_EQ (child<juce::Label> (panel, 9).findColour (juce::Label::textColourId), juce::Colour (0xffffff00));

    auto& bpmSlider = child<juce::Slider> (panel, 2);
    EXPECT_EQ (bpmSlider.getMaximum(), 240.0);
    EXPECT_EQ (bpmSlider.getSliderStyle(), juce::Slider::LinearBar);
    EXPECT_EQ (child<juce::Slider> (panel, 3).getMaximum(), 400.0);
    EXPECT_EQ (child<juce::Slider> (panel, 3).getSliderStyle(), juce::Slider::IncDecButtons);
    EXPECT_EQ (child<juce::Slider> (panel, 14).getInterval(), 0.01);

    auto& beatsPerBar = child<juce::ComboBox> (panel, 11);
    EXPECT_EQ (beatsPerBar.getNumItems(), 7);
    EXPECT_EQ (beatsPerBar.getItemText (0), "2");
    EXPECT_EQ (beatsPerBar.getItemId (6), 7);
    EXPECT_EQ (beatsPerBar.getItemText (6), "8");
    EXPECT_EQ (child<juce::ComboBox> (panel, 12).getNumItems(), 3);
    EXPECT_EQ (child<juce::ComboBox> (panel, 15).getItemText (2), "Techno");
    EXPECT_EQ (child<juce::ComboBox> (panel, 17).getNumItems(), 0);
    EXPECT_EQ (child<juce::ComboBox> (panel, 17).getTextWhenNoChoicesAvailable(), "(no choices)");
    EXPECT_EQ (child<juce::ComboBox> (panel, 18).getItemText (3), "Triplets");

    auto& markings = child<juce::ComboBox> (panel, 21);
    ASSERT_EQ (markings.getNumItems(), 13);
    EXPECT_EQ (markings.getItemText (0), "Larghissimo");
    EXPECT_EQ (markings.getItemId (12), 13);
    EXPECT_EQ (markings.getItemText (12), "Prestissimo");

    EXPECT_EQ (child<juce::ToggleButton> (panel, 22).getName(), "mute button");
    EXPECT_EQ (child<juce::TextButton> (panel, 24).getConnectedEdgeFlags(), (int) juce::Button::ConnectedOnRight);
    EXPECT_EQ (child<juce::TextButton> (panel, 25).getConnectedEdgeFlags(), (int) juce::Button::ConnectedOnLeft);
}
