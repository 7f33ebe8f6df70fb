#include "app/MainComponent.h"
#include "engine/MetronomeProcessor.h"

#include <gtest/gtest.h>

// The main component built headlessly: no display and, here, no audio device.

TEST (AppShell, MainComponentShowsItsThreeTabsAtItsFixedSize)
{
    MainComponent main;

    EXPECT_EQ (main.getWidth(), 432);
    EXPECT_EQ (main.getHeight(), 710);

    auto& tabs = main.getTabs();
    EXPECT_EQ (tabs.getBounds(), juce::Rectangle<int> (0, 0, 432, 710));
    EXPECT_EQ (tabs.getTabBarDepth(), 30);
    ASSERT_EQ (tabs.getNumTabs(), 3);
    EXPECT_EQ (tabs.getTabNames(), juce::StringArray ({ "Tocksley", "Audio Setup", "Practice" }));
    EXPECT_EQ (tabs.getCurrentTabIndex(), 0);
    EXPECT_EQ (tabs.getTabBackgroundColour (0), juce::Colours::black);

    auto* page = tabs.getTabContentComponent (0);
    ASSERT_NE (page, nullptr);
    EXPECT_EQ (page->getBounds(), juce::Rectangle<int> (1, 30, 430, 679));

    // The Practice page takes the panel's place when its tab is chosen.
    tabs.setCurrentTabIndex (MainComponent::practiceTab);
    auto* practice = tabs.getTabContentComponent (MainComponent::practiceTab);
    ASSERT_NE (practice, nullptr);
    EXPECT_EQ (practice->getBounds(), page->getBounds());
    EXPECT_TRUE (practice->isVisible());
    EXPECT_FALSE (page->isVisible());
}

TEST (AppShell, RunsWithoutAnyAudioDevice)
{
    MainComponent main;
    auto& engine = main.getProcessor();

    // The engine stays usable although nothing prepares or calls it.
    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    EXPECT_TRUE (engine.isRunning());
}
