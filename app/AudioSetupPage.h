#pragma once

#include <juce_audio_utils/juce_audio_utils.h>

/** The "Audio Setup" tab: device, channels, sample rate, buffer size and MIDI inputs. */
class AudioSetupPage : public juce::Component
{
public:
    explicit AudioSetupPage (juce::AudioDeviceManager& deviceManager);
    ~AudioSetupPage() override;

    void resized() override;

private:
    juce::AudioDeviceManager& deviceManager;
    std::unique_ptr<juce::AudioDeviceSelectorComponent> selector;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioSetupPage)
};
