#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

class MetronomeProcessor;

/**
    Tells the engine the latency of each audio device as it starts, so that
    SYNC can send its clicks that much ahead of the beats it hears.
    It renders nothing; it only rides along with the device's callbacks.
*/
class DeviceLatencyReporter : public juce::AudioIODeviceCallback
{
public:
    explicit DeviceLatencyReporter (MetronomeProcessor& engineToTell) : engine (engineToTell) {}

    void audioDeviceAboutToStart (juce::AudioIODevice*) override;
    void audioDeviceStopped() override {}
    void audioDeviceIOCallbackWithContext (const float* const*, int, float* const*, int, int,
                                           const juce::AudioIODeviceCallbackContext&) override {}

private:
    MetronomeProcessor& engine;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DeviceLatencyReporter)
};
