#include "DeviceLatencyReporter.h"
#include "engine/MetronomeProcessor.h"

DeviceLatencyReporter::DeviceLatencyReporter (juce::AudioDeviceManager& manager, MetronomeProcessor& engineToTell)
    : deviceManager (manager), engine (engineToTell)
{
    deviceManager.addChangeListener (this);
    changeListenerCallback (&deviceManager);
}

DeviceLatencyReporter::~DeviceLatencyReporter()
{
    deviceManager.removeChangeListener (this);
}

void DeviceLatencyReporter::changeListenerCallback (juce::ChangeBroadcaster*)
{
    if (auto* device = deviceManager.getCurrentAudioDevice())
        engine.setDeviceLatency (device->getInputLatencyInSamples(), device->getOutputLatencyInSamples());
    else
        engine.setDeviceLatency (0, 0);
}
