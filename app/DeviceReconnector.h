#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include <optional>

/**
    Brings back an audio device that went away by itself: a JACK server that
    was stopped or died, an ALSA stream that failed. The framework's devices
    stop when that happens, but the device manager keeps the dead device as its
    current one and never tries again; the musician would have to find the
    Audio Setup page and pick the device anew.

    The device to bring back is the one last seen playing, with the setup it
    played with, remembered at each of the device manager's change messages.

    Lost means: that very device, with that same setup, is still the manager's
    current device but no longer plays. The musician cannot get there from the
    Audio Setup page: "<< none >>", or a device that fails to open, leaves the
    manager with no device at all, and switching every channel off changes the
    setup. The stop must still hold one poll later, so that the device's own
    thread, which stopped it, is done with it before it is deleted.

    Once lost, the dead device is closed (the Audio Setup page then shows none)
    and every poll rescans its type and, once the type lists the device again,
    reopens the remembered setup; if that one stops too, it goes the same way.
    With no JACK server running, one rescan costs a few milliseconds on the
    message thread: the client open fails at once.

    Never against the musician: while waiting, any change of the manager's
    device type, device names or device that this class did not make is the
    musician's own choice, and the waiting ends there.

    It polls on the message thread; while the device plays a poll asks the
    device whether it plays, and nothing else.
*/
class DeviceReconnector : private juce::ChangeListener,
                          private juce::Timer
{
public:
    explicit DeviceReconnector (juce::AudioDeviceManager&);
    ~DeviceReconnector() override;

    /** How often it looks: a server's return is noticed within this. */
    static constexpr int pollIntervalMs = 250;

private:
    /** The part of the manager's state that a musician's choice changes. */
    struct Selection
    {
        juce::String typeName, inputName, outputName;
        const juce::AudioIODevice* device = nullptr;

        bool operator== (const Selection&) const;
        bool operator!= (const Selection& other) const   { return ! operator== (other); }
    };

    struct WorkingDevice
    {
        juce::String typeName;
        juce::AudioDeviceManager::AudioDeviceSetup setup;
    };

    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    void timerCallback() override;

    bool isPlaying() const;
    bool lastWorkingDeviceStopped() const;
    void letGoOfLostDevice();
    void tryToReopen();
    bool typeListsLastWorkingDevice();
    Selection currentSelection() const;

    juce::AudioDeviceManager& deviceManager;
    std::optional<WorkingDevice> lastWorking;
    Selection leftAs;
    bool stopSeen = false;
    bool waiting = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DeviceReconnector)
};
