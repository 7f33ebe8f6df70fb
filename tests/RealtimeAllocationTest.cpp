#include "RandomPractice.h"
#include "ToneFile.h"
#include "engine/MetronomeProcessor.h"

#include <ableton/Link.hpp>
#include <gtest/gtest.h>
#include <thread>
#include <cstdlib>
#include <new>

// Counts every heap allocation made while a flag is up on the calling thread,
// by replacing the global allocation functions of this test program: operator
// new for our code and the framework, malloc and its kin for aubio.

extern "C" void* __libc_malloc (std::size_t);
extern "C" void* __libc_calloc (std::size_t, std::size_t);
extern "C" void* __libc_realloc (void*, std::size_t);

namespace
{
    thread_local bool watching = false;
    thread_local int allocations = 0;

    void countAllocation() noexcept
    {
        if (watching)
            ++allocations;
    }

    void* allocate (std::size_t size)
    {
        if (auto* p = std::malloc (size == 0 ? 1 : size))
            return p;

        throw std::bad_alloc();
    }
}

extern "C" void* malloc (std::size_t size)                     { countAllocation(); return __libc_malloc (size); }
extern "C" void* calloc (std::size_t count, std::size_t size)  { countAllocation(); return __libc_calloc (count, size); }
extern "C" void* realloc (void* p, std::size_t size)           { countAllocation(); return __libc_realloc (p, size); }

void* operator new (std::size_t size)                                { return allocate (size); }
void* operator new[] (std::size_t size)                              { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept   { return std::malloc (size == 0 ? 1 : size); }
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept { return std::malloc (size == 0 ? 1 : size); }
void operator delete (void* p) noexcept                              { std::free (p); }
void operator delete[] (void* p) noexcept                            { std::free (p); }
void operator delete (void* p, std::size_t) noexcept                 { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept               { std::free (p); }

TEST (RealtimeSafety, ProcessBlockNeverAllocates)
{
    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (44100, 512);
    engine.setParameter (MetronomeProcessor::accentParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::listenParameter, 1.0f);
    engine.setSyncOn (true);
    engine.setDeviceLatency (256, 512);

    const juce::TemporaryFile ownSound (".wav");
    ASSERT_TRUE (writeToneFile (ownSound.getFile(), 96000, 800, 0.1, 2));

    juce::AudioBuffer<float> buffer (2, 4096);
    juce::MidiBuffer midi;
    juce::Random random (3);
    int totalAllocations = 0;
    juce::int64 inputSample = 0;
    bool heardTheBeat = false;

    for (int round = 0; round < 2000; ++round)
    {
        if (round % 50 == 0)
        {
            // Half the time at the input's tempo, so that SYNC re-spaces the ticks onto its beats.
            engine.setParameter (MetronomeProcessor::bpmParameter, random.nextBool() ? 120.0f : 20.0f + random.nextFloat() * 380.0f);
            engine.setParameter (MetronomeProcessor::subdivisionParameter, (float) random.nextInt (5));
            engine.setParameter (MetronomeProcessor::soundParameter, (float) random.nextInt (3));
            engine.setParameter (MetronomeProcessor::beatsPerBarParameter, (float) (1 + random.nextInt (16)));
            engine.setPracticeSettings (randomPractice (random, engine.getBeatsPerBar()));

            if (random.nextBool())
                engine.setOwnSound (MetronomeProcessor::SoundRole::click, ownSound.getFile());
            else
                engine.clearOwnSound (MetronomeProcessor::SoundRole::click);
            engine.setParameter (MetronomeProcessor::startParameter, 0.0f);
            engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
        }

        // Blocks of any length, also longer than the size the engine was prepared for.
        buffer.setSize (2, 1 + random.nextInt (4096), false, false, true);

        // LISTEN's input: a burst of noise every half second, a beat at 120 BPM.
        for (int i = 0; i < buffer.getNumSamples(); ++i, ++inputSample)
        {
            const auto sinceBeat = (float) (inputSample % 22050);
            buffer.setSample (0, i, (random.nextFloat() - 0.5f) * std::exp (-sinceBeat / 1000.0f));
        }

        watching = true;
        engine.processBlock (buffer, midi);
        watching = false;

        totalAllocations += allocations;
        allocations = 0;
        heardTheBeat = heardTheBeat || std::abs (engine.getDetectedBpm() - 120) <= 1;
    }

    EXPECT_EQ (totalAllocations, 0);
    EXPECT_TRUE (heardTheBeat);
}

TEST (RealtimeSafety, ProcessBlockNeverAllocatesInALinkSession)
{
    // Another program in the session changes the tempo and starts and stops;
    // the engine's own tempo, bar and start/stop sharing change between blocks.
    ableton::Link peer (100.0);
    peer.enableStartStopSync (true);
    peer.enable (true);

    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (48000, 512);
    engine.setParameter (MetronomeProcessor::accentParameter, 1.0f);
    engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    engine.setDeviceLatency (256, 512);
    engine.setLinkOn (true);

    juce::AudioBuffer<float> buffer (2, 4096);
    juce::MidiBuffer midi;
    juce::Random random (5);
    int totalAllocations = 0;
    int ticksHeard = 0;

    for (int i = 0; i < 100 && engine.getLinkPeers() == 0; ++i)
        std::this_thread::sleep_for (std::chrono::milliseconds (50));

    ASSERT_EQ (engine.getLinkPeers(), 1);

    for (int round = 0; round < 1500; ++round)
    {
        if (round % 50 == 0)
        {
            engine.setParameter (MetronomeProcessor::bpmParameter, 20.0f + random.nextFloat() * 380.0f);
            engine.setParameter (MetronomeProcessor::subdivisionParameter, (float) random.nextInt (5));
            engine.setParameter (MetronomeProcessor::beatsPerBarParameter, (float) (1 + random.nextInt (16)));
            engine.setLinkStartStopSync (random.nextInt (3) == 0);
            engine.setParameter (MetronomeProcessor::startParameter, random.nextInt (4) == 0 ? 0.0f : 1.0f);

            auto state = peer.captureAppSessionState();
            state.setTempo (30.0 + random.nextFloat() * 500.0, peer.clock().micros());
            state.setIsPlaying (random.nextBool(), peer.clock().micros());
            peer.commitAppSessionState (state);
        }

        engine.followLinkSession();

        // Blocks of any length, at a few times the pace a device would ask for them.
        buffer.setSize (2, 1 + random.nextInt (4096), false, false, true);

        watching = true;
        engine.processBlock (buffer, midi);
        watching = false;

        totalAllocations += allocations;
        allocations = 0;
        ticksHeard += buffer.getMagnitude (0, 0, buffer.getNumSamples()) > 0.0f ? 1 : 0;
        std::this_thread::sleep_for (std::chrono::microseconds (buffer.getNumSamples() * 1000 / 48 / 8));
    }

    EXPECT_EQ (totalAllocations, 0);
    EXPECT_GT (ticksHeard, 100);
}

TEST (RealtimeSafety, TheCounterSeesAllocations)
{
    watching = true;
    auto* p = new int (3);
    auto* q = std::malloc (16);
    watching = false;
    delete p;
    std::free (q);

    EXPECT_EQ (allocations, 2);
    allocations = 0;
}
