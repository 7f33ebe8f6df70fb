#include "RandomPractice.h"
#include "ToneFile.h"
#include "engine/MetronomeProcessor.h"

#include <ableton/Link.hpp>
#include <gtest/gtest.h>
#include <thread>

// The message thread changes tempo, bar, subdivision, sound pack and every
// practice setting hundreds of times, sets and clears own click sounds, and
// starts and stops, switches SYNC and changes the device's latency, while another thread runs the audio callback the way the player does:
// under the processor's callback lock. Built with ThreadSanitizer, any data race
// between the two fails the run.

namespace
{
    /** The audio callback as the player runs it, block after block until stopped:
        under the player's own lock, held around preparation and every callback,
        and the processor's callback lock. */
    class PlayerThread
    {
    public:
        PlayerThread (MetronomeProcessor& engine, std::mutex& playerLock, std::chrono::microseconds pause = {})
            : thread ([this, &engine, &playerLock, pause]
              {
                  juce::AudioBuffer<float> buffer (2, 256);
                  juce::MidiBuffer midi;

                  while (! done)
                  {
                      {
                          const std::lock_guard<std::mutex> player (playerLock);
                          const juce::ScopedLock callback (engine.getCallbackLock());
                          engine.processBlock (buffer, midi);
                      }

                      for (int ch = 0; ch < 2; ++ch)
                          if (! std::isfinite (buffer.getMagnitude (ch, 0, 256)))
                              finite = false;

                      ++blocks;
                      std::this_thread::sleep_for (pause);
                  }
              })
        {
        }

        ~PlayerThread()     { stop(); }

        void stop()
        {
            done = true;

            if (thread.joinable())
                thread.join();
        }

        int getBlocks() const               { return blocks; }
        bool outputStayedFinite() const     { return finite; }

    private:
        std::atomic<bool> done { false };
        std::atomic<int> blocks { 0 };
        std::atomic<bool> finite { true };
        std::thread thread;
    };
}

TEST (AudioThreadStress, ParameterChangesWhileTheCallbackRuns)
{
    MetronomeProcessor engine { juce::File() };
    std::mutex playerLock;   // the player's own lock, held around preparation and every callback

    {
        const std::lock_guard<std::mutex> lock (playerLock);
        engine.prepareToPlay (48000, 256);
    }

    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::accentParameter, 1.0f);

    // The callback hears its own last block: LISTEN follows the clicks and SYNC re-spaces them.
    engine.setParameter (MetronomeProcessor::listenParameter, 1.0f);

    const juce::TemporaryFile ownSound (".wav");
    ASSERT_TRUE (writeToneFile (ownSound.getFile(), 44100, 1200, 0.05));

    PlayerThread player (engine, playerLock);

    juce::Random random (7);
    int beatsShown = 0;

    for (int i = 0; i < 600; ++i)
    {
        // Now a tempo of its own, now the one LISTEN hears, as the panel adopts it.
        const auto detected = (float) engine.getDetectedBpm();
        engine.setParameter (MetronomeProcessor::bpmParameter, TempoDetector::isAdoptableEstimate (detected) && random.nextBool()
                                                                   ? detected : 20.0f + random.nextFloat() * 380.0f);
        engine.setSyncOn (random.nextInt (4) != 0);
        engine.setDeviceLatency (random.nextInt (2048), random.nextInt (2048));
        engine.setParameter (MetronomeProcessor::subdivisionParameter, (float) random.nextInt (5));
        engine.setParameter (MetronomeProcessor::beatValueParameter, (float) random.nextInt (3));
        engine.setParameter (MetronomeProcessor::beatsPerBarParameter, (float) (2 + random.nextInt (7)));
        engine.setParameter (MetronomeProcessor::gainParameter, random.nextFloat());
        engine.setParameter (MetronomeProcessor::muteParameter, random.nextInt (8) == 0 ? 1.0f : 0.0f);

        if (i % 3 == 0)
            engine.setParameter (MetronomeProcessor::soundParameter, (float) random.nextInt (3));

        engine.setPracticeSettings (randomPractice (random, engine.getBeatsPerBar()));

        if (i % 5 == 0)
        {
            const auto role = random.nextBool() ? MetronomeProcessor::SoundRole::accent : MetronomeProcessor::SoundRole::click;
            if (random.nextBool())
                engine.setOwnSound (role, ownSound.getFile());
            else
                engine.clearOwnSound (role);
        }

        if (i % 7 == 0)
        {
            engine.setParameter (MetronomeProcessor::startParameter, 0.0f);
            engine.setParameter (MetronomeProcessor::startParameter, 1.0f);   // from the top, with a feature set
        }

        if (i % 100 == 99)
        {
            // A device change: the player prepares the engine while no callback runs.
            const std::lock_guard<std::mutex> lock (playerLock);
            engine.prepareToPlay (random.nextBool() ? 44100.0 : 48000.0, 256);
        }

        // What the panel's timer reads.
        beatsShown += (int) ((float) (engine.tickCounter - 1) / engine.ticksPerBeat) + 1;
        beatsShown += engine.getCurrentBeat() + (engine.isCountingIn() ? 0 : 1) + (engine.getPlayingBpm() > 0 ? 1 : 0)
                      + (engine.getCurrentBar() != 0 ? 1 : 0);
        std::this_thread::yield();
    }

    player.stop();

    EXPECT_GT (player.getBlocks(), 100);
    EXPECT_GT (beatsShown, 0);
    EXPECT_TRUE (player.outputStayedFinite());
}

TEST (AudioThreadStress, EstimateReadWhileTheDeviceIsPreparedAgain)
{
    // The panel's timer reads LISTEN's estimate on the message thread while the
    // audio thread listens and the device is re-prepared and released in between.
    MetronomeProcessor engine { juce::File() };
    std::mutex playerLock;

    {
        const std::lock_guard<std::mutex> lock (playerLock);
        engine.prepareToPlay (48000, 512);
    }
    engine.setParameter (MetronomeProcessor::listenParameter, 1.0f);

    std::atomic<bool> done { false };
    std::atomic<int> largestEstimate { 0 };

    std::thread audioThread ([&]
    {
        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;
        juce::Random random (2);

        while (! done)
        {
            for (int i = 0; i < 512; ++i)
                buffer.setSample (0, i, random.nextFloat() - 0.5f);

            const std::lock_guard<std::mutex> player (playerLock);
            const juce::ScopedLock callback (engine.getCallbackLock());
            engine.processBlock (buffer, midi);
        }
    });

    std::thread panelTimer ([&]
    {
        while (! done)
            largestEstimate = juce::jmax (largestEstimate.load(), engine.getDetectedBpm());
    });

    for (int i = 0; i < 200; ++i)
    {
        const std::lock_guard<std::mutex> lock (playerLock);

        if (i % 2 == 0)
            engine.prepareToPlay (i % 4 == 0 ? 44100.0 : 48000.0, 512);
        else
            engine.releaseResources();
    }

    done = true;
    audioThread.join();
    panelTimer.join();

    EXPECT_LT (largestEstimate.load(), 1000);
}

TEST (AudioThreadStress, LinkSessionChangesWhileTheCallbackRuns)
{
    // In a Link session with another program, which changes the tempo and starts
    // and stops, the message thread sets tempi, bars and subdivisions, switches
    // start/stop sync and LINK itself, and follows the session as the panel does,
    // while the callback places the clicks on the session's beats.
    ableton::Link peer (100.0);
    peer.enableStartStopSync (true);
    peer.enable (true);

    MetronomeProcessor engine { juce::File() };
    std::mutex playerLock;

    {
        const std::lock_guard<std::mutex> lock (playerLock);
        engine.prepareToPlay (48000, 256);
    }

    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    engine.setLinkOn (true);

    // Blocks at about the pace of a device, so that the session's beats pass by.
    PlayerThread player (engine, playerLock, std::chrono::microseconds (500));

    for (int i = 0; i < 100 && engine.getLinkPeers() == 0; ++i)
        std::this_thread::sleep_for (std::chrono::milliseconds (50));

    EXPECT_EQ (engine.getLinkPeers(), 1);

    juce::Random random (11);
    int followed = 0;

    for (int i = 0; i < 400; ++i)
    {
        engine.setParameter (MetronomeProcessor::bpmParameter, 20.0f + random.nextFloat() * 380.0f);
        engine.setParameter (MetronomeProcessor::beatsPerBarParameter, (float) (2 + random.nextInt (7)));
        engine.setParameter (MetronomeProcessor::subdivisionParameter, (float) random.nextInt (5));
        engine.setDeviceLatency (random.nextInt (2048), random.nextInt (2048));

        if (i % 3 == 0)
        {
            auto state = peer.captureAppSessionState();
            state.setTempo (30.0 + random.nextFloat() * 600.0, peer.clock().micros());
            state.setIsPlaying (random.nextBool(), peer.clock().micros());
            peer.commitAppSessionState (state);
        }

        if (i % 5 == 0)
            engine.setLinkStartStopSync (random.nextBool());

        if (i % 7 == 0)
            engine.setParameter (MetronomeProcessor::startParameter, random.nextBool() ? 1.0f : 0.0f);

        if (i % 50 == 49)
        {
            engine.setLinkOn (false);
            engine.setLinkOn (true);
        }

        if (i % 100 == 99)
        {
            const std::lock_guard<std::mutex> lock (playerLock);
            engine.prepareToPlay (random.nextBool() ? 44100.0 : 48000.0, 256);
        }

        followed += engine.followLinkSession() ? 1 : 0;
        followed += engine.getLinkPeers();
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }

    player.stop();

    EXPECT_GT (player.getBlocks(), 100);
    EXPECT_GT (followed, 0);
    EXPECT_TRUE (player.outputStayedFinite());
}
