#include "DeviceLatencyReporter.h"
#include "engine/MetronomeProcessor.h"

void DeviceLatencyReporter::audioDeviceAboutToStart (juce::AudioIODevice* device)
{
    if (device != nullptr)
        engine.setDeviceLatency (device->getInputLatencyInSamples(), device->getOutputLatencyInSamples());
}
