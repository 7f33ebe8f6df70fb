#include "AudioSetupPage.h"

AudioSetupPage::AudioSetupPage (juce::AudioDeviceManager& manager)
    : deviceManager (manager)
{
    selector = std::make_unique<juce::AudioDeviceSelectorComponent> (deviceManager,
                                                                      0, 32,    // input channels
                                                                      0, 32,    // output channels
                                                                      true,     // MIDI inputs
                                                                      true,     // MIDI output
                                                                      true,     // channels as stereo pairs
                                                                      true);    // advanced options behind a button
    addAndMakeVisible (*selector);
    setSize (600, 400);
}

AudioSetupPage::~AudioSetupPage() = default;

void AudioSetupPage::resized()
{
    selector->setBounds (8, 8, getWidth() - 16, getHeight() - 16);
}
