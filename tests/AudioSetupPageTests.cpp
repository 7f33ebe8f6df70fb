#include "app/AudioSetupPage.h"

#include <gtest/gtest.h>

// The "Audio Setup" page on a display, with a device of the test's own that is
// always there and always opens, so that every row of the selector is shown.

namespace
{
    class FakeDevice : public juce::AudioIODevice
    {
    public:
        FakeDevice() : juce::AudioIODevice ("Fake Output", "Fake") {}

        juce::StringArray getOutputChannelNames() override          { return { "Left", "Right" }; }
        juce::StringArray getInputChannelNames() override           { return { "In Left", "In Right" }; }
        juce::Array<double> getAvailableSampleRates() override      { return { 44100.0, 48000.0 }; }
        juce::Array<int> getAvailableBufferSizes() override         { return { 256, 512 }; }
        int getDefaultBufferSize() override                         { return 512; }

        juce::String open (const juce::BigInteger& inputs, const juce::BigInteger& outputs, double rate, int size) override
        {
            activeInputs = inputs;
            activeOutputs = outputs;
            sampleRate = rate > 0.0 ? rate : 48000.0;
            bufferSize = size > 0 ? size : 512;
            opened = true;
            return {};
        }

        void close() override                                       { opened = false; }
        bool isOpen() override                                      { return opened; }
        void start (juce::AudioIODeviceCallback*) override          { playing = true; }
        void stop() override                                        { playing = false; }
        bool isPlaying() override                                   { return playing; }
        juce::String getLastError() override                        { return {}; }
        int getCurrentBufferSizeSamples() override                  { return bufferSize; }
        double getCurrentSampleRate() override                      { return sampleRate; }
        int getCurrentBitDepth() override                           { return 32; }
        juce::BigInteger getActiveOutputChannels() const override   { return activeOutputs; }
        juce::BigInteger getActiveInputChannels() const override    { return activeInputs; }
        int getOutputLatencyInSamples() override                    { return 0; }
        int getInputLatencyInSamples() override                     { return 0; }

    private:
        juce::BigInteger activeInputs, activeOutputs;
        double sampleRate = 48000.0;
        int bufferSize = 512;
        bool opened = false, playing = false;
    };

    class FakeDeviceType : public juce::AudioIODeviceType
    {
    public:
        FakeDeviceType() : juce::AudioIODeviceType ("Fake") {}

        void scanForDevices() override                                          {}
        juce::StringArray getDeviceNames (bool) const override                  { return { "Fake Output" }; }
        int getDefaultDeviceIndex (bool) const override                         { return 0; }
        int getIndexOfDevice (juce::AudioIODevice* device, bool) const override { return device != nullptr ? 0 : -1; }
        bool hasSeparateInputsAndOutputs() const override                       { return false; }
        juce::AudioIODevice* createDevice (const juce::String&, const juce::String&) override { return new FakeDevice(); }
    };

    class FakeDeviceManager : public juce::AudioDeviceManager
    {
    public:
        void createAudioDeviceTypes (juce::OwnedArray<juce::AudioIODeviceType>& types) override
        {
            types.add (new FakeDeviceType());
        }
    };

    template <typename Type>
    void collect (juce::Component& parent, juce::Array<Type*>& found)
    {
        for (auto* child : parent.getChildren())
        {
            if (! child->isVisible())
                continue;

            if (auto* c = dynamic_cast<Type*> (child))
                found.add (c);

            collect (*child, found);
        }
    }

    juce::TextButton* findButton (juce::Component& parent, const juce::String& text)
    {
        juce::Array<juce::TextButton*> buttons;
        collect (parent, buttons);

        for (auto* button : buttons)
            if (button->getButtonText() == text)
                return button;

        return nullptr;
    }

    /** The rows a musician reads: every visible list and selector box, in the page's coordinates. */
    juce::Array<std::pair<juce::String, juce::Rectangle<int>>> rows (juce::Component& page)
    {
        juce::Array<juce::Component*> all;
        collect (page, all);

        juce::Array<std::pair<juce::String, juce::Rectangle<int>>> found;

        for (auto* c : all)
            if (dynamic_cast<juce::ComboBox*> (c) != nullptr || dynamic_cast<juce::ListBox*> (c) != nullptr)
                found.add ({ c->getName() + " " + c->getTitle(), page.getLocalArea (c, c->getLocalBounds()) });

        return found;
    }

    struct SetupPage
    {
        SetupPage()
        {
            EXPECT_EQ (manager.initialise (0, 2, nullptr, true), juce::String());
            page = std::make_unique<AudioSetupPage> (manager);
            page->setSize (430, 679);   // the page area of the window's tabs
            page->setVisible (true);
            juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
        }

        ~SetupPage()
        {
            page.reset();
            manager.closeAudioDevice();
        }

        void showAdvancedSettings()
        {
            auto* button = findButton (*page, "Show advanced settings...");
            ASSERT_NE (button, nullptr);
            button->triggerClick();
            juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
            ASSERT_NE (findButton (*page, "Hide advanced settings..."), nullptr);
        }

        FakeDeviceManager manager;
        std::unique_ptr<AudioSetupPage> page;
    };

    ::testing::AssertionResult noRowsOverlap (juce::Component& page)
    {
        const auto found = rows (page);

        if (found.size() < 4)
            return ::testing::AssertionFailure() << "only " << found.size() << " rows";

        for (int i = 0; i < found.size(); ++i)
            for (int j = i + 1; j < found.size(); ++j)
                if (found[i].second.intersects (found[j].second))
                    return ::testing::AssertionFailure() << found[i].first << " at " << found[i].second.toString()
                                                         << " overlaps " << found[j].first << " at " << found[j].second.toString();

        return ::testing::AssertionSuccess();
    }

    /** The selector, its parts and the viewport that holds it. */
    ::testing::AssertionResult laidOutInAViewport (juce::Component& page)
    {
        juce::Array<juce::AudioDeviceSelectorComponent*> selectors;
        collect (page, selectors);

        if (selectors.size() != 1)
            return ::testing::AssertionFailure() << selectors.size() << " selectors";

        auto* selector = selectors.getFirst();
        auto* viewport = selector->findParentComponentOfClass<juce::Viewport>();

        if (viewport == nullptr || viewport->getViewedComponent() != selector)
            return ::testing::AssertionFailure() << "the selector is not viewed in a viewport";

        // Every part inside the selector's height, so none is out of reach of the scroll bar.
        for (auto* part : selector->getChildren())
            if (part->isVisible() && part->getBottom() > selector->getHeight())
                return ::testing::AssertionFailure() << part->getName() << " ends at " << part->getBottom()
                                                     << ", below the selector's height " << selector->getHeight();

        if (selector->getRight() > viewport->getMaximumVisibleWidth())
            return ::testing::AssertionFailure() << "the selector is wider than the viewport shows";

        return ::testing::AssertionSuccess();
    }
}

TEST (AudioSetupPage, RowsStayApartWhenTheAdvancedSettingsAreShownAndHidden)
{
    SetupPage p;
    EXPECT_TRUE (noRowsOverlap (*p.page));
    EXPECT_TRUE (laidOutInAViewport (*p.page));

    p.showAdvancedSettings();
    EXPECT_TRUE (noRowsOverlap (*p.page));
    EXPECT_TRUE (laidOutInAViewport (*p.page));

    auto* hide = findButton (*p.page, "Hide advanced settings...");
    ASSERT_NE (hide, nullptr);
    hide->triggerClick();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
    EXPECT_TRUE (noRowsOverlap (*p.page));
    EXPECT_TRUE (laidOutInAViewport (*p.page));
}

TEST (AudioSetupPage, ScrollsWhereTheRowsDoNotFit)
{
    SetupPage p;
    p.page->setSize (430, 200);
    p.showAdvancedSettings();

    EXPECT_TRUE (noRowsOverlap (*p.page));
    EXPECT_TRUE (laidOutInAViewport (*p.page));

    auto* viewport = p.page->getChildComponent (0);
    auto* scrolling = dynamic_cast<juce::Viewport*> (viewport);
    ASSERT_NE (scrolling, nullptr);
    EXPECT_TRUE (scrolling->getVerticalScrollBar().isVisible());
    EXPECT_GT (scrolling->getViewedComponent()->getHeight(), scrolling->getHeight());
}

TEST (AudioSetupPage, HoldsTheSelectorOnlyWhileItIsVisible)
{
    // Behind another tab the selector's input meter would still poll the device.
    SetupPage p;
    auto* viewport = dynamic_cast<juce::Viewport*> (p.page->getChildComponent (0));
    ASSERT_NE (viewport, nullptr);
    EXPECT_NE (viewport->getViewedComponent(), nullptr);

    p.page->setVisible (false);
    EXPECT_EQ (viewport->getViewedComponent(), nullptr);

    p.page->setVisible (true);
    EXPECT_NE (viewport->getViewedComponent(), nullptr);
    EXPECT_TRUE (noRowsOverlap (*p.page));
}
