#include "ClickMatching.h"
#include "panel/MetronomeComponent.h"

#include <gtest/gtest.h>

// A tempo change while the metronome runs never leaves a gap between heard
// clicks longer than the longer of the old and the new spacing, whichever
// control or source changes it and wherever in the beat it comes.

using namespace EngineTestHelpers;

namespace
{
    constexpr double rate = 48000.0;
    constexpr int blockSize = 480;

    /** The longest gap between heard clicks of a rendering. */
    int64_t longestGap (const std::vector<float>& output)
    {
        const ClickMatching::Samples classic (0, rate);
        const auto clicks = ClickMatching::positions (ClickMatching::find (output, classic));
        int64_t longest = 0;

        for (size_t k = 1; k < clicks.size(); ++k)
            longest = std::max (longest, clicks[k] - clicks[k - 1]);

        return longest;
    }

    double spacingOf (float bpm)    { return rate * 60.0 / bpm; }

    /** Runs the engine for a while, changes the tempo after `phase` samples of a beat, runs on. */
    template <typename ChangeTempo>
    int64_t gapAroundChange (MetronomeProcessor& engine, float from, int phase, ChangeTempo&& change)
    {
        auto output = render (engine, (int) (2 * spacingOf (from)) + phase, blockSize);
        change();
        const auto after = render (engine, (int) rate * 3, blockSize);
        output.insert (output.end(), after.begin(), after.end());
        return longestGap (output);
    }
}

TEST (TempoChange, NoGapLongerThanTheLongerSpacingAtAnyPointOfTheBeat)
{
    const std::pair<float, float> changes[] = { { 90, 200 }, { 120, 150 }, { 200, 90 }, { 60, 400 }, { 400, 20 }, { 30, 31 } };

    for (const auto& [from, to] : changes)
    {
        const auto bound = (int64_t) std::ceil (std::max (spacingOf (from), spacingOf (to)));

        for (int phase = 0; phase < (int) spacingOf (from); phase += (int) spacingOf (from) / 37)
        {
            auto engine = makeRunningEngine (rate, blockSize, from);
            const auto newTempo = to;
            const auto gap = gapAroundChange (*engine, from, phase, [&] { engine->setParameter (MetronomeProcessor::bpmParameter, newTempo); });
            ASSERT_LE (gap, bound) << from << " to " << to << " BPM, " << phase << " samples into the beat";
        }
    }
}

TEST (TempoChange, EverySourceOfTempoKeepsTheClicksGoing)
{
    // From 90 to 200 BPM, through each control of the panel.
    struct Source
    {
        const char* name;
        std::function<void (MetronomeComponent&, MetronomeProcessor&, juce::uint32& now)> change;
    };

    const auto child = [] (MetronomeComponent& panel, int index) { return panel.getChildComponent (index); };
    const Source sources[] = {
        { "typed", [&] (MetronomeComponent& panel, MetronomeProcessor&, juce::uint32&)
          { dynamic_cast<juce::Label*> (child (panel, 6))->setText ("200", juce::sendNotificationSync); } },
        { "slider", [&] (MetronomeComponent& panel, MetronomeProcessor&, juce::uint32&)
          { dynamic_cast<juce::Slider*> (child (panel, 2))->setValue (200.0, juce::sendNotificationSync); } },
        { "tap", [&] (MetronomeComponent& panel, MetronomeProcessor&, juce::uint32& now)
          {
              auto* tap = dynamic_cast<juce::Button*> (child (panel, 4));
              panel.buttonClicked (tap);
              now += 300;
              panel.buttonClicked (tap);
          } },
        { "preset", [&] (MetronomeComponent& panel, MetronomeProcessor& engine, juce::uint32&)
          {
              engine.setParameter (MetronomeProcessor::bpmParameter, 200.0f);
              engine.addPreset ("fast");
              engine.setParameter (MetronomeProcessor::bpmParameter, 90.0f);
              engine.setCurrentProgram (0);
              panel.updateControlsFromProcessor();
          } },
        { "LISTEN", [&] (MetronomeComponent& panel, MetronomeProcessor&, juce::uint32&)
          {
              // What the panel's timer does with an estimate it adopts.
              panel.applyBpm (200.0f);
          } },
    };

    for (const auto& source : sources)
        for (int phase = 0; phase < (int) spacingOf (90); phase += 1999)
        {
            MetronomeProcessor engine { juce::File() };
            MetronomeComponent panel { engine };
            juce::uint32 now = 100000;
            engine.setMillisecondCounter ([&now] { return now; });
            engine.prepareToPlay (rate, blockSize);
            panel.applyBpm (90.0f);
            engine.setParameter (MetronomeProcessor::startParameter, 1.0f);

            const auto gap = gapAroundChange (engine, 90.0f, phase, [&] { source.change (panel, engine, now); });
            ASSERT_EQ (engine.getBpm(), 200.0f) << source.name;
            ASSERT_LE (gap, (int64_t) spacingOf (90)) << source.name << ", " << phase << " samples into the beat";
        }
}

TEST (TempoChange, ListenAdoptingTheMusicsTempoKeepsTheClicksGoing)
{
    // Running at 90 with LISTEN on while the input plays 150 BPM: whenever the
    // panel's timer adopts the estimate, the clicks go on without a gap.
    for (const int offset : { 0, 4000, 9000, 15000 })
    {
        MetronomeProcessor engine { juce::File() };
        MetronomeComponent panel { engine };
        engine.prepareToPlay (rate, blockSize);
        panel.applyBpm (90.0f);
        engine.setParameter (MetronomeProcessor::startParameter, 1.0f);

        auto* listen = dynamic_cast<juce::Button*> (panel.getChildComponent (20));
        listen->setToggleState (true, juce::sendNotificationSync);

        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        juce::Random random (8);
        std::vector<float> output;
        const auto beat = (int64_t) spacingOf (150.0f);

        for (int64_t start = 0; start < (int64_t) rate * 8; start += blockSize)
        {
            for (int i = 0; i < blockSize; ++i)
            {
                const auto sinceBeat = (start + i + offset) % beat;
                buffer.setSample (0, i, sinceBeat < 960 ? 0.5f * std::exp (-(float) sinceBeat / 720.0f) * (random.nextFloat() - 0.5f)
                                                        : 0.0f);
            }

            engine.processBlock (buffer, midi);
            output.insert (output.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + blockSize);

            if ((start / blockSize) % 5 == 4)
                panel.timerCallback();   // every 50 ms
        }

        ASSERT_NEAR (engine.getBpm(), 150.0f, 2.0f) << "offset " << offset;
        EXPECT_LE (longestGap (output), (int64_t) spacingOf (90.0f)) << "offset " << offset;
    }
}
