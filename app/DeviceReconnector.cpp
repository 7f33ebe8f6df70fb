#include "DeviceReconnector.h"

#include <utility>

bool DeviceReconnector::Selection::operator== (const Selection& other) const
{
    return typeName == other.typeName && inputName == other.inputName
        && outputName == other.outputName && device == other.device;
}

DeviceReconnector::DeviceReconnector (juce::AudioDeviceManager& manager)
    : deviceManager (manager)
{
    deviceManager.addChangeListener (this);
    changeListenerCallback (&deviceManager);
    startTimer (pollIntervalMs);
}

DeviceReconnector::~DeviceReconnector()
{
    stopTimer();
    deviceManager.removeChangeListener (this);
}

void DeviceReconnector::changeListenerCallback (juce::ChangeBroadcaster*)
{
    // Every device or setup the musician picks, and every one brought back, plays
    // once it is open: then it is the one to bring back next time.
    if (isPlaying())
    {
        lastWorking = WorkingDevice { deviceManager.getCurrentAudioDeviceType(), deviceManager.getAudioDeviceSetup() };
        waiting = false;
    }
}

void DeviceReconnector::timerCallback()
{
    if (isPlaying())
    {
        stopSeen = false;
        return;
    }

    if (waiting)
    {
        tryToReopen();
        return;
    }

    if (! lastWorkingDeviceStopped())
    {
        stopSeen = false;
        return;
    }

    if (std::exchange (stopSeen, true))
        letGoOfLostDevice();
}

bool DeviceReconnector::isPlaying() const
{
    auto* device = deviceManager.getCurrentAudioDevice();
    return device != nullptr && device->isPlaying();
}

bool DeviceReconnector::lastWorkingDeviceStopped() const
{
    return lastWorking.has_value()
        && deviceManager.getCurrentAudioDevice() != nullptr
        && deviceManager.getCurrentAudioDeviceType() == lastWorking->typeName
        && deviceManager.getAudioDeviceSetup() == lastWorking->setup;
}

void DeviceReconnector::letGoOfLostDevice()
{
    stopSeen = false;
    deviceManager.closeAudioDevice();
    waiting = true;
    leftAs = currentSelection();

    // Closing tells no one: the Audio Setup page would go on showing the dead device.
    deviceManager.sendChangeMessage();
}

void DeviceReconnector::tryToReopen()
{
    if (currentSelection() != leftAs)
    {
        waiting = false;
        return;
    }

    // One that this class opened and that stopped again (a server that died once
    // more while it was being reopened) goes as the first did: the manager would
    // take the same setup on it for already done.
    if (deviceManager.getCurrentAudioDevice() != nullptr)
    {
        if (std::exchange (stopSeen, true))
            letGoOfLostDevice();

        return;
    }

    // Opening a device its type does not list fails, and clears the manager's
    // device names: wait until the device is there again.
    if (! typeListsLastWorkingDevice())
        return;

    deviceManager.setAudioDeviceSetup (lastWorking->setup, false);
    leftAs = currentSelection();
}

bool DeviceReconnector::typeListsLastWorkingDevice()
{
    for (auto* type : deviceManager.getAvailableDeviceTypes())
    {
        if (type->getTypeName() != lastWorking->typeName)
            continue;

        type->scanForDevices();

        const auto& setup = lastWorking->setup;
        return (setup.inputDeviceName.isEmpty() || type->getDeviceNames (true).contains (setup.inputDeviceName))
            && (setup.outputDeviceName.isEmpty() || type->getDeviceNames (false).contains (setup.outputDeviceName));
    }

    return false;
}

DeviceReconnector::Selection DeviceReconnector::currentSelection() const
{
    const auto setup = deviceManager.getAudioDeviceSetup();
    return { deviceManager.getCurrentAudioDeviceType(), setup.inputDeviceName, setup.outputDeviceName,
             deviceManager.getCurrentAudioDevice() };
}
