#include "engine/MetronomeProcessor.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <new>

// Counts every heap allocation made while a flag is up on the calling thread,
// by replacing the global allocation functions of this test program.

namespace
{
    thread_local bool watching = false;
    thread_local int allocations = 0;

    void* allocate (std::size_t size)
    {
        if (watching)
            ++allocations;

        if (auto* p = std::malloc (size == 0 ? 1 : size))
            return p;

        throw std::bad_alloc();
    }
}

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

    juce::AudioBuffer<float> buffer (2, 4096);
    juce::MidiBuffer midi;
    juce::Random random (3);
    int totalAllocations = 0;

    for (int round = 0; round < 2000; ++round)
    {
        if (round % 50 == 0)
        {
            engine.setParameter (MetronomeProcessor::bpmParameter, 20.0f + random.nextFloat() * 380.0f);
            engine.setParameter (MetronomeProcessor::subdivisionParameter, (float) random.nextInt (5));
            engine.setParameter (MetronomeProcessor::soundParameter, (float) random.nextInt (3));
        }

        // Blocks of any length, also longer than the size the engine was prepared for.
        buffer.setSize (2, 1 + random.nextInt (4096), false, false, true);

        watching = true;
        engine.processBlock (buffer, midi);
        watching = false;

        totalAllocations += allocations;
        allocations = 0;
    }

    EXPECT_EQ (totalAllocations, 0);
}

TEST (RealtimeSafety, TheCounterSeesAllocations)
{
    watching = true;
    auto* p = new int (3);
    watching = false;
    delete p;

    EXPECT_EQ (allocations, 1);
    allocations = 0;
}
