#pragma once

#include <juce_audio_utils/juce_audio_utils.h>

/**
    The "Audio Setup" tab: device, channels, sample rate, buffer size and MIDI
    inputs, scrolled where they do not fit in the page.

    The framework's selector lays out its rows from its width and sets its own
    height, but when one of its parts grows by itself (the advanced settings
    shown) the rows below are not moved; so the page lays the selector out
    again whenever one of its parts, or the selector itself, changes size.

    The selector exists only while the page is visible: its input meter asks
    the device for a level twenty times a second, shown or not.

    Below the selector, a footer of the owner's (the Link options) may sit at
    its own height.
*/
class AudioSetupPage : public juce::Component,
                       private juce::ComponentListener
{
public:
    explicit AudioSetupPage (juce::AudioDeviceManager& deviceManager, juce::Component* footer = nullptr);
    ~AudioSetupPage() override;

    void resized() override;
    void visibilityChanged() override;

private:
    void componentMovedOrResized (juce::Component&, bool wasMoved, bool wasResized) override;
    void componentChildrenChanged (juce::Component&) override;
    void showSelector (bool shouldShow);
    void listenToSelectorParts();
    void stopListeningToSelectorParts();
    void layOutSelector();

    juce::AudioDeviceManager& deviceManager;
    juce::Component* footer;
    std::unique_ptr<juce::AudioDeviceSelectorComponent> selector;
    std::unique_ptr<juce::Viewport> viewport;
    juce::Array<juce::Component::SafePointer<juce::Component>> watchedParts;
    bool layingOut = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioSetupPage)
};
