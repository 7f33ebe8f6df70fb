#include "app/DeviceReconnector.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <thread>

// The reconnector on a device manager whose only device type is the test's own:
// its devices stop by themselves from another thread, as a JACK client does when
// its server quits or an ALSA stream when its card goes, and they leave and come
// back to the type's list when it rescans, as the JACK server's clients do.

namespace
{
    /** Which devices are there to be found, and what the type was asked to do. */
    struct FakeWorld
    {
        juce::StringArray present { "Interface", "Headphones" };
        int scans = 0;
        int devicesCreated = 0;
        int startsThatFail = 0;
    };

    class FakeDevice : public juce::AudioIODevice
    {
    public:
        FakeDevice (const juce::String& name, FakeWorld& w) : juce::AudioIODevice (name, "Fake"), world (w) {}

        juce::StringArray getOutputChannelNames() override          { return { "Left", "Right" }; }
        juce::StringArray getInputChannelNames() override           { return { "In Left", "In Right" }; }
        juce::Array<double> getAvailableSampleRates() override      { return { 44100.0, 48000.0 }; }
        juce::Array<int> getAvailableBufferSizes() override         { return { 256, 512 }; }
        int getDefaultBufferSize() override                         { return 512; }

        juce::String open (const juce::BigInteger& inputs, const juce::BigInteger& outputs, double rate, int size) override
        {
            if (! world.present.contains (getName()))
                return "gone";

            activeInputs = inputs;
            activeOutputs = outputs;
            sampleRate = rate;
            bufferSize = size;
            opened = true;
            return {};
        }

        void close() override                                       { stop(); opened = false; }
        bool isOpen() override                                      { return opened; }
        bool isPlaying() override                                   { return callback != nullptr && ! failed; }
        juce::String getLastError() override                        { return {}; }
        int getCurrentBufferSizeSamples() override                  { return bufferSize; }
        double getCurrentSampleRate() override                      { return sampleRate; }
        int getCurrentBitDepth() override                           { return 32; }
        juce::BigInteger getActiveOutputChannels() const override   { return activeOutputs; }
        juce::BigInteger getActiveInputChannels() const override    { return activeInputs; }
        int getOutputLatencyInSamples() override                    { return 0; }
        int getInputLatencyInSamples() override                     { return 0; }

        void start (juce::AudioIODeviceCallback* newCallback) override
        {
            if (! opened || newCallback == callback)
                return;

            if (newCallback != nullptr)
            {
                newCallback->audioDeviceAboutToStart (this);
                failed = world.startsThatFail > 0;
                world.startsThatFail -= failed ? 1 : 0;
            }

            if (auto* old = std::exchange (callback, newCallback))
                old->audioDeviceStopped();
        }

        void stop() override                                        { start (nullptr); }

        /** Stops by itself, on a thread of its own. Closed as JACK's device closes
            itself when its server quits, or left open as ALSA's is when its stream fails. */
        void failOnItsOwnThread (bool closesItself)
        {
            std::thread ([this, closesItself]
            {
                failed = true;

                if (closesItself)
                    opened = false;

                if (auto* old = std::exchange (callback, nullptr))
                    old->audioDeviceStopped();
            }).join();
        }

    private:
        FakeWorld& world;
        juce::AudioIODeviceCallback* callback = nullptr;
        juce::BigInteger activeInputs, activeOutputs;
        double sampleRate = 0.0;
        int bufferSize = 0;
        bool opened = false, failed = false;
    };

    class FakeDeviceType : public juce::AudioIODeviceType
    {
    public:
        explicit FakeDeviceType (FakeWorld& w) : juce::AudioIODeviceType ("Fake"), world (w) {}

        void scanForDevices() override
        {
            ++world.scans;
            names = world.present;
        }

        juce::StringArray getDeviceNames (bool) const override                  { return names; }
        int getDefaultDeviceIndex (bool) const override                         { return 0; }
        bool hasSeparateInputsAndOutputs() const override                       { return false; }

        int getIndexOfDevice (juce::AudioIODevice* device, bool) const override
        {
            return device != nullptr ? names.indexOf (device->getName()) : -1;
        }

        juce::AudioIODevice* createDevice (const juce::String& outputName, const juce::String&) override
        {
            ++world.devicesCreated;
            return new FakeDevice (outputName, world);
        }

    private:
        FakeWorld& world;
        juce::StringArray names;
    };

    class FakeDeviceManager : public juce::AudioDeviceManager
    {
    public:
        explicit FakeDeviceManager (FakeWorld& w) : world (w) {}

        void createAudioDeviceTypes (juce::OwnedArray<juce::AudioIODeviceType>& types) override
        {
            types.add (new FakeDeviceType (world));
        }

    private:
        FakeWorld& world;
    };

    class DeviceReconnectorTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            ASSERT_TRUE (manager.initialise (2, 2, nullptr, true).isEmpty());
            // Not the device's defaults: chosen on the Audio Setup page.
            choose ("Interface", 48000.0, 256);
            ASSERT_TRUE (playing());
            chosen = manager.getAudioDeviceSetup();
            reconnector = std::make_unique<DeviceReconnector> (manager);
        }

        /** As the Audio Setup page sets a device: chosen by the musician. */
        void choose (const juce::String& name, double rate = 0.0, int size = 0)
        {
            auto setup = manager.getAudioDeviceSetup();
            setup.outputDeviceName = setup.inputDeviceName = name;
            setup.sampleRate = rate;
            setup.bufferSize = size;
            manager.setAudioDeviceSetup (setup, true);
        }

        FakeDevice& device()    { return dynamic_cast<FakeDevice&> (*manager.getCurrentAudioDevice()); }

        bool playing() const
        {
            auto* current = manager.getCurrentAudioDevice();
            return current != nullptr && current->isPlaying();
        }

        bool hasDevice() const  { return manager.getCurrentAudioDevice() != nullptr; }

        static bool runUntil (std::function<bool()> done, int milliseconds)
        {
            const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

            while (! done() && juce::Time::getMillisecondCounter() < end)
                juce::MessageManager::getInstance()->runDispatchLoopUntil (20);

            return done();
        }

        static void runFor (int milliseconds)   { runUntil ([] { return false; }, milliseconds); }

        /** Long enough for the stop to be noticed and the device let go, with room for a loaded machine. */
        static constexpr int lettingGo = 20 * DeviceReconnector::pollIntervalMs;
        /** Several polls: time enough for anything the reconnector would do. */
        static constexpr int severalPolls = 6 * DeviceReconnector::pollIntervalMs;

        FakeWorld world;
        FakeDeviceManager manager { world };
        juce::AudioDeviceManager::AudioDeviceSetup chosen;
        std::unique_ptr<DeviceReconnector> reconnector;
    };

    /** Whether the manager had a device at its latest change message, as the Audio Setup page sees it. */
    class ChangeWatcher : private juce::ChangeListener
    {
    public:
        explicit ChangeWatcher (juce::AudioDeviceManager& m) : manager (m)  { manager.addChangeListener (this); }
        ~ChangeWatcher() override                                           { manager.removeChangeListener (this); }

        std::optional<bool> hadDevice;

    private:
        void changeListenerCallback (juce::ChangeBroadcaster*) override { hadDevice = manager.getCurrentAudioDevice() != nullptr; }

        juce::AudioDeviceManager& manager;
    };

    void expectReopenedAsChosen (juce::AudioDeviceManager& manager, const juce::AudioDeviceManager::AudioDeviceSetup& chosen)
    {
        const auto setup = manager.getAudioDeviceSetup();
        EXPECT_EQ (setup.outputDeviceName, "Interface");
        EXPECT_EQ (setup.sampleRate, 48000.0);
        EXPECT_EQ (setup.bufferSize, 256);
        EXPECT_EQ (setup.outputChannels, chosen.outputChannels);
        EXPECT_EQ (setup.inputChannels, chosen.inputChannels);
        EXPECT_EQ (manager.getCurrentAudioDevice()->getCurrentSampleRate(), 48000.0);
        EXPECT_EQ (manager.getCurrentAudioDevice()->getCurrentBufferSizeSamples(), 256);
    }
}

TEST_F (DeviceReconnectorTest, ADeviceThatClosedItselfIsLetGoAndReopenedAsChosenOnceItIsBack)
{
    device().failOnItsOwnThread (true);
    world.present.removeString ("Interface");

    ASSERT_TRUE (runUntil ([this] { return ! hasDevice(); }, lettingGo)) << "the dead device is still the current one";
    const auto created = world.devicesCreated;
    runFor (severalPolls);
    EXPECT_FALSE (hasDevice());
    EXPECT_EQ (world.devicesCreated, created) << "a device was opened while its type did not list it";

    world.present.add ("Interface");
    ASSERT_TRUE (runUntil ([this] { return playing(); }, lettingGo)) << "not reopened";
    expectReopenedAsChosen (manager, chosen);
}

TEST_F (DeviceReconnectorTest, TheManagersListenersHearThatTheDeadDeviceIsGone)
{
    ChangeWatcher page (manager);
    device().failOnItsOwnThread (true);
    world.present.removeString ("Interface");

    ASSERT_TRUE (runUntil ([this] { return ! hasDevice(); }, lettingGo));
    runFor (100);
    ASSERT_TRUE (page.hadDevice.has_value());
    EXPECT_FALSE (*page.hadDevice) << "the last change message the listeners heard still had the dead device";
}

TEST_F (DeviceReconnectorTest, ADeviceLeftOpenButStoppedIsReopenedAsChosen)
{
    device().failOnItsOwnThread (false);

    ASSERT_TRUE (runUntil ([this] { return playing(); }, lettingGo)) << "not reopened";
    expectReopenedAsChosen (manager, chosen);
}

TEST_F (DeviceReconnectorTest, IsBroughtBackEachTimeItStops)
{
    for (int stop = 1; stop <= 3; ++stop)
    {
        const auto created = world.devicesCreated;
        device().failOnItsOwnThread (true);
        ASSERT_TRUE (runUntil ([this, created] { return playing() && world.devicesCreated > created; }, lettingGo))
            << "not reopened after stop " << stop;
        expectReopenedAsChosen (manager, chosen);
    }
}

TEST_F (DeviceReconnectorTest, ADeviceThatStopsAgainAsSoonAsItIsReopenedIsBroughtBackAllTheSame)
{
    const auto created = world.devicesCreated;
    world.startsThatFail = 2;
    device().failOnItsOwnThread (true);

    ASSERT_TRUE (runUntil ([this] { return playing(); }, 3 * lettingGo)) << "not reopened";
    EXPECT_EQ (world.devicesCreated, created + 3);
    expectReopenedAsChosen (manager, chosen);
}

TEST_F (DeviceReconnectorTest, NoneChosenByTheMusicianStaysNone)
{
    choose ({});
    ASSERT_FALSE (hasDevice());
    const auto created = world.devicesCreated;

    runFor (severalPolls);
    EXPECT_FALSE (hasDevice());
    EXPECT_EQ (world.devicesCreated, created);
}

TEST_F (DeviceReconnectorTest, NoneChosenWhileTheDeviceIsAwayIsNotUndoneWhenItComesBack)
{
    device().failOnItsOwnThread (true);
    world.present.removeString ("Interface");
    ASSERT_TRUE (runUntil ([this] { return ! hasDevice(); }, lettingGo));

    choose ({});
    world.present.add ("Interface");
    const auto created = world.devicesCreated;
    runFor (severalPolls);
    EXPECT_FALSE (hasDevice());
    EXPECT_EQ (world.devicesCreated, created);
}

TEST_F (DeviceReconnectorTest, AnotherDeviceChosenWhileTheFirstIsAwayStaysAndIsTheOneBroughtBack)
{
    device().failOnItsOwnThread (true);
    world.present.removeString ("Interface");
    ASSERT_TRUE (runUntil ([this] { return ! hasDevice(); }, lettingGo));

    choose ("Headphones");
    ASSERT_TRUE (playing());
    world.present.add ("Interface");
    runFor (severalPolls);
    ASSERT_TRUE (playing());
    EXPECT_EQ (device().getName(), "Headphones");

    device().failOnItsOwnThread (true);
    ASSERT_TRUE (runUntil ([this] { return playing(); }, lettingGo)) << "the device chosen last was not brought back";
    EXPECT_EQ (device().getName(), "Headphones");
}

TEST_F (DeviceReconnectorTest, EveryChannelSwitchedOffIsLeftSo)
{
    auto setup = manager.getAudioDeviceSetup();
    setup.useDefaultInputChannels = setup.useDefaultOutputChannels = false;
    setup.inputChannels.clear();
    setup.outputChannels.clear();
    manager.setAudioDeviceSetup (setup, true);
    ASSERT_TRUE (hasDevice());
    ASSERT_FALSE (playing());
    auto* silent = &device();
    const auto created = world.devicesCreated;

    runFor (severalPolls);
    EXPECT_EQ (manager.getCurrentAudioDevice(), silent);
    EXPECT_FALSE (playing());
    EXPECT_EQ (world.devicesCreated, created);
}

TEST_F (DeviceReconnectorTest, NothingIsRescannedWhileTheDevicePlays)
{
    const auto scans = world.scans;
    runFor (severalPolls);
    EXPECT_EQ (world.scans, scans);
    EXPECT_TRUE (playing());
}
