#include "app/MainComponent.h"
#include "engine/MetronomeProcessor.h"
#include "panel/MetronomeComponent.h"
#include "panel/PracticePage.h"

#include <gtest/gtest.h>

// The window's content on a display, with keys delivered as the window system
// delivers them: to the focused control first, then up to the window.

namespace
{
    void dispatchMessages()
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    }

    struct ShownWindow
    {
        ShownWindow()
        {
            window.setContentNonOwned (&main, true);
            window.setVisible (true);
            window.toFront (true);
            dispatchMessages();
        }

        ~ShownWindow()      { window.clearContentComponent(); }

        bool press (const juce::KeyPress& key)
        {
            const auto used = window.getPeer()->handleKeyPress (key);
            dispatchMessages();
            return used;
        }

        juce::Component* focused() const   { return juce::Component::getCurrentlyFocusedComponent(); }

        MainComponent main { juce::File() };
        juce::DocumentWindow window { "Tocksley", juce::Colours::black, 0, true };
    };

    juce::Component* findByText (juce::Component& parent, const juce::String& text)
    {
        for (auto* child : parent.getChildren())
            if (auto* button = dynamic_cast<juce::Button*> (child); button != nullptr && button->getButtonText() == text)
                return button;
        return nullptr;
    }
}

TEST (KeyboardFocus, TabMovesThroughThePanelInReadingOrder)
{
    ShownWindow w;
    auto& panel = w.main.getPanel();

    // The order Tab follows, from the window's content on.
    auto traverser = w.window.createKeyboardFocusTraverser();
    std::vector<juce::Component*> visited;
    for (auto* c = traverser->getNextComponent (&w.main); c != nullptr && panel.isParentOf (c); c = traverser->getNextComponent (c))
        visited.push_back (c);

    ASSERT_FALSE (visited.empty());
    EXPECT_EQ (visited.front(), findByText (panel, "ABOUT"));

    // Rows from the top, each from the left (a row's tops within a few pixels of each other).
    for (size_t i = 1; i < visited.size(); ++i)
    {
        const auto previous = panel.getLocalArea (visited[i - 1], visited[i - 1]->getLocalBounds());
        const auto current = panel.getLocalArea (visited[i], visited[i]->getLocalBounds());
        const auto sameRow = std::abs (current.getY() - previous.getY()) <= 4;
        EXPECT_TRUE (sameRow ? current.getX() > previous.getX() : current.getY() > previous.getY())
            << i << ": " << previous.toString() << " then " << current.toString();
    }

    for (const auto* text : { "TAP", "LISTEN", "ACCENT", "MUTE", "+", "-", "START" })
        EXPECT_NE (std::find (visited.begin(), visited.end(), findByText (panel, text)), visited.end()) << text;

    // The bars are reached too, so that the volume can be set from the keyboard.
    const auto sliders = std::count_if (visited.begin(), visited.end(), [] (auto* c) { return dynamic_cast<juce::Slider*> (c) != nullptr; });
    EXPECT_EQ (sliders, 2);
}

TEST (KeyboardFocus, TextBeingTypedKeepsItsKeysAndTheOtherKeysReachTheCommands)
{
    ShownWindow w;
    auto& engine = w.main.getProcessor();
    auto& panel = w.main.getPanel();

    // A key pressed while no control has the focus still reaches the commands.
    EXPECT_TRUE (w.press (juce::KeyPress (juce::KeyPress::spaceKey, 0, ' ')));
    EXPECT_TRUE (engine.isRunning());

    // The BPM number open for typing: letters, Space and the arrows are the editor's.
    juce::Label* bpmNumber = nullptr;
    for (auto* child : panel.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child); label != nullptr && label->getTooltip() == "Double-click to set BPM.")
            bpmNumber = label;
    ASSERT_NE (bpmNumber, nullptr);
    bpmNumber->showEditor();
    dispatchMessages();
    ASSERT_NE (bpmNumber->getCurrentTextEditor(), nullptr);
    ASSERT_TRUE (bpmNumber->getCurrentTextEditor()->hasKeyboardFocus (true));

    for (const auto c : juce::String ("m a l t"))
        w.press (juce::KeyPress ((int) c, 0, c));
    w.press (juce::KeyPress (juce::KeyPress::upKey));

    EXPECT_TRUE (engine.isRunning());
    EXPECT_FALSE (engine.isMuteOn());
    EXPECT_FALSE (engine.isAccentOn());
    EXPECT_FALSE (engine.isListenOn());
    EXPECT_EQ (engine.getBpm(), 120.0f);
    EXPECT_TRUE (bpmNumber->getCurrentTextEditor()->getText().contains ("m a l t"));
    bpmNumber->hideEditor (true);

    // A focused selector keeps its arrows; Shift+Up is still the tempo's.
    juce::Slider* volume = nullptr;
    for (auto* child : panel.getChildren())
        if (auto* slider = dynamic_cast<juce::Slider*> (child); slider != nullptr && slider->getTooltip() == "Adjust Output Volume.")
            volume = slider;
    ASSERT_NE (volume, nullptr);
    volume->setValue (0.5, juce::sendNotificationSync);
    // On a busy machine the window system's focus events come late: wait for them.
    for (int i = 0; i < 40 && ! volume->hasKeyboardFocus (false); ++i)
    {
        volume->grabKeyboardFocus();
        dispatchMessages();
    }
    ASSERT_TRUE (volume->hasKeyboardFocus (false));
    w.press (juce::KeyPress (juce::KeyPress::upKey));
    EXPECT_NEAR (engine.getGain(), 0.51f, 1e-4f);
    EXPECT_EQ (engine.getBpm(), 120.0f);
    w.press (juce::KeyPress (juce::KeyPress::upKey, juce::ModifierKeys::shiftModifier, 0));
    EXPECT_EQ (engine.getBpm(), 130.0f);

    // On the other tabs too.
    w.main.getTabs().setCurrentTabIndex (MainComponent::practiceTab);
    dispatchMessages();
    w.press (juce::KeyPress (juce::KeyPress::spaceKey, 0, ' '));
    EXPECT_FALSE (engine.isRunning());
}

TEST (DisplayRefresh, TheShownPageFollowsTheEngineByItself)
{
    ShownWindow w;
    auto& engine = w.main.getProcessor();
    auto& tabs = w.main.getTabs();
    tabs.setCurrentTabIndex (MainComponent::practiceTab);
    dispatchMessages();

    auto* page = dynamic_cast<PracticePage*> (tabs.getTabContentComponent (MainComponent::practiceTab));
    ASSERT_NE (page, nullptr);
    ASSERT_TRUE (page->isShowing());

    // Changed behind the page's back, as a preset chosen elsewhere would: no call but the display's.
    PracticeSettings settings;
    settings.countInBars = 3;
    engine.setPracticeSettings (settings);
    engine.setParameter (MetronomeProcessor::beatsPerBarParameter, 6.0f);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (300);

    EXPECT_EQ (page->getCountInSelector().getSelectedId(), 4);
    EXPECT_EQ (page->getNumBeatsInView(), 6);
}
