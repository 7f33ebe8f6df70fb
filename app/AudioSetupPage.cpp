#include "AudioSetupPage.h"

AudioSetupPage::AudioSetupPage (juce::AudioDeviceManager& manager, juce::Component* footerToShow)
    : deviceManager (manager),
      footer (footerToShow)
{
    viewport = std::make_unique<juce::Viewport>();
    viewport->setScrollBarsShown (true, false);
    addAndMakeVisible (*viewport);

    if (footer != nullptr)
        addAndMakeVisible (*footer);

    setSize (600, 400);
}

AudioSetupPage::~AudioSetupPage()
{
    showSelector (false);
}

void AudioSetupPage::visibilityChanged()
{
    showSelector (isVisible());
}

void AudioSetupPage::showSelector (bool shouldShow)
{
    if (shouldShow == (selector != nullptr))
        return;

    if (! shouldShow)
    {
        stopListeningToSelectorParts();
        selector->removeComponentListener (this);
        viewport->setViewedComponent (nullptr, false);
        selector.reset();
        return;
    }

    selector = std::make_unique<juce::AudioDeviceSelectorComponent> (deviceManager,
                                                                      0, 32,    // input channels
                                                                      0, 32,    // output channels
                                                                      true,     // MIDI inputs
                                                                      true,     // MIDI output
                                                                      true,     // channels as stereo pairs
                                                                      true);    // advanced options behind a button
    viewport->setViewedComponent (selector.get(), false);
    selector->addComponentListener (this);
    listenToSelectorParts();
    layOutSelector();
}

void AudioSetupPage::resized()
{
    auto area = getLocalBounds().reduced (8);

    if (footer != nullptr)
        footer->setBounds (area.removeFromBottom (footer->getHeight()));

    viewport->setBounds (area);
    layOutSelector();
}

void AudioSetupPage::componentMovedOrResized (juce::Component&, bool, bool wasResized)
{
    if (wasResized)
        layOutSelector();
}

void AudioSetupPage::componentChildrenChanged (juce::Component&)
{
    // A new device type brings new parts.
    listenToSelectorParts();
    layOutSelector();
}

void AudioSetupPage::stopListeningToSelectorParts()
{
    for (auto& part : watchedParts)
        if (part != nullptr)
            part->removeComponentListener (this);

    watchedParts.clear();
}

void AudioSetupPage::listenToSelectorParts()
{
    stopListeningToSelectorParts();

    for (auto* part : selector->getChildren())
    {
        part->addComponentListener (this);
        watchedParts.add (part);
    }
}

void AudioSetupPage::layOutSelector()
{
    // The selector's own layout moves its parts and sets its height, which calls back here.
    if (layingOut || selector == nullptr || viewport->getWidth() <= 0)
        return;

    const juce::ScopedValueSetter<bool> guard (layingOut, true);

    // Laid out at the page's full height first, so that the MIDI list may take the room it
    // has; narrower by the scroll bar when the rows do not fit.
    for (const auto width : { viewport->getWidth(), viewport->getWidth() - viewport->getScrollBarThickness() })
    {
        selector->setSize (width, viewport->getHeight());
        selector->resized();

        if (selector->getHeight() <= viewport->getHeight())
            break;
    }
}
