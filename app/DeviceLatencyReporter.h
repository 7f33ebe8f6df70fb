#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

class MetronomeProcessor;

/**
    Tells the engine the latency of the audio device whenever the device
    changes or restarts, so that SYNC can send its clicks that much ahead of
    the beats it hears. It listens to the device manager on the message thread
    and takes no part in the audio callback.
*/
class DeviceLatencyReporter : private juce::ChangeListener
{
public:
    DeviceLatencyReporter (juce::AudioDeviceManager&, MetronomeProcessor&);
    ~DeviceLatencyReporter() override;

private:
    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    juce::AudioDeviceManager& deviceManager;
    MetronomeProcessor& engine;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DeviceLatencyReporter)
};
