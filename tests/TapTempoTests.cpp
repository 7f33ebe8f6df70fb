#include "engine/MetronomeProcessor.h"
#include "engine/TapTempo.h"

#include <gtest/gtest.h>

namespace
{
    /** Taps at the given times and returns the tempo each tap yielded (0 for none). */
    std::vector<float> tapAt (TapTempo& tapTempo, std::initializer_list<juce::uint32> times)
    {
        std::vector<float> results;
        for (auto t : times)
            results.push_back (tapTempo.tap (t).value_or (0.0f));
        return results;
    }
}

TEST (TapTempo, FirstTapOfASeriesSetsNothingAndTheSecondSetsTheTempo)
{
    TapTempo tapTempo;
    EXPECT_EQ (tapAt (tapTempo, { 100000, 100500, 101000, 101500 }),
               (std::vector<float> { 0.0f, 120.0f, 120.0f, 120.0f }));
}

TEST (TapTempo, LowerMedianPassesOverOneStrayTap)
{
    TapTempo tapTempo;
    // Intervals: gap, 500, 500, 900, 500 -> lower median of 4 stored after the gap is 500.
    const auto results = tapAt (tapTempo, { 100000, 100500, 101000, 101900, 102400 });
    EXPECT_EQ (results.back(), 120.0f);

    // Two short, two long: the lower of the middle pair.
    TapTempo other;
    EXPECT_EQ (tapAt (other, { 50000, 50400, 51000, 51400 }).back(), 60000.0f / 400.0f);
}

TEST (TapTempo, SeriesBoundaryAtThreeSeconds)
{
    TapTempo tapTempo;
    // 3000 ms still belongs to the series and is 20 BPM as the only real interval.
    EXPECT_EQ (tapAt (tapTempo, { 100000, 103000 }).back(), 20.0f);

    TapTempo reset;
    // 3001 ms starts a new series: nothing set, the ring cleared.
    EXPECT_EQ (tapAt (reset, { 100000, 100500, 103501 }).back(), 0.0f);
    EXPECT_EQ (reset.getTapCount(), 1);
}

TEST (TapTempo, MediansOutsideTheTempoRangeAreRecordedButIgnored)
{
    TapTempo tapTempo;
    EXPECT_EQ (tapAt (tapTempo, { 100000, 100149 }).back(), 0.0f);
    EXPECT_EQ (tapTempo.getTapCount(), 2);
    EXPECT_EQ (tapAt (tapTempo, { 100299, 100449 }).back(), 400.0f);   // median now 150 ms
}

TEST (TapTempo, TwelfthIntervalOverwritesTheFirstSlot)
{
    TapTempo tapTempo;
    // First interval 2000 (from counter 0), then five of 500 and five of 1000: median 1000.
    std::vector<juce::uint32> times { 2000 };
    for (int i = 0; i < 5; ++i) times.push_back (times.back() + 500);
    for (int i = 0; i < 5; ++i) times.push_back (times.back() + 1000);

    float tempo = 0;
    for (auto t : times)
        tempo = tapTempo.tap (t).value_or (0.0f);
    EXPECT_EQ (tempo, 60.0f);

    // The twelfth replaces the 2000 in slot 0: six of 500, five of 1000, lower median 500.
    EXPECT_EQ (tapTempo.tap (times.back() + 500).value_or (0.0f), 120.0f);
}

TEST (TapTempo, CounterWrapIsAnOrdinaryInterval)
{
    TapTempo tapTempo;
    // 500 ms across the wrap of the 32-bit millisecond counter.
    EXPECT_EQ (tapAt (tapTempo, { 0xffffff00u - 500u, 0xffffff00u, 0xffffff00u + 500u }).back(), 120.0f);
}

TEST (TapTempo, TapParameterDrivesTheEngineTempoThroughItsClock)
{
    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (48000, 512);
    juce::uint32 now = 500000;
    engine.setMillisecondCounter ([&now] { return now; });

    engine.setParameter (MetronomeProcessor::tapParameter, 1.0f);
    EXPECT_EQ (engine.getBpm(), 120.0f);
    now += 400;
    engine.setParameter (MetronomeProcessor::tapParameter, 0.0f);

    EXPECT_EQ (engine.getBpm(), 150.0f);
    EXPECT_EQ (engine.getParameter (MetronomeProcessor::bpmParameter), 150.0f);
    EXPECT_EQ (engine.getParameter (MetronomeProcessor::tapParameter), 0.0f);
    EXPECT_EQ (engine.getSamplesPerBeat(), 19200);
}
