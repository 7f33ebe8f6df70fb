#pragma once

#include "engine/MetronomeProcessor.h"

#include <ableton/Link.hpp>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

/**
    Engines in a Link session with each other, driven by the test as audio
    devices would drive them: blocks in step with the wall clock, which is the
    clock Link's beat timeline runs on. The engines' outputs are kept whole,
    so that the clicks of one can be compared with another's sample for sample.
    Needs a network where multicast reaches the process itself (the tests run
    in a private network namespace with loopback only).
*/
struct LinkPeers
{
    struct Device
    {
        MetronomeProcessor* engine;
        int blockSize;
        std::vector<float> output {};
    };

    static constexpr double rate = 48000.0;
    static constexpr int period = 512;      // every device's block size divides it

    std::vector<Device> devices;
    juce::int64 samplesPlayed = 0;

    /** Runs every device for the given number of seconds, each block when the wall
        clock reaches its first sample, as a device's callback comes; after each
        period, onPeriod (seconds played) may change what it likes. */
    void run (double seconds, const std::function<void (double)>& onPeriod = {})
    {
        juce::AudioBuffer<float> buffer (2, period);
        juce::MidiBuffer midi;
        const auto at = [origin = std::chrono::steady_clock::now(), from = samplesPlayed] (juce::int64 sample)
        {
            return origin + std::chrono::microseconds ((juce::int64) ((double) (sample - from) / rate * 1.0e6));
        };

        const auto end = samplesPlayed + (juce::int64) (seconds * rate);
        const auto step = std::min_element (devices.begin(), devices.end(), [] (const auto& a, const auto& b)
                                            { return a.blockSize < b.blockSize; })->blockSize;

        while (samplesPlayed < end)
        {
            for (int offset = 0; offset < period; offset += step)
            {
                std::this_thread::sleep_until (at (samplesPlayed + offset));

                for (auto& device : devices)
                {
                    if (offset % device.blockSize != 0)
                        continue;

                    buffer.setSize (2, device.blockSize, false, false, true);
                    buffer.clear();
                    device.engine->processBlock (buffer, midi);
                    device.output.insert (device.output.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + device.blockSize);
                }
            }

            samplesPlayed += period;

            if (onPeriod)
                onPeriod ((double) samplesPlayed / rate);
        }
    }

    /** Runs until the condition holds or the time is up; whether it held. */
    bool runUntil (const std::function<bool()>& condition, double maxSeconds)
    {
        for (double waited = 0.0; waited < maxSeconds; waited += 0.05)
        {
            if (condition())
                return true;

            run (0.05);
        }

        return condition();
    }
};
