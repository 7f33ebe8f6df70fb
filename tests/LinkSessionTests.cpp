#include "ClickMatching.h"
#include "LinkPeers.h"

#include <gtest/gtest.h>
#include <limits>

// Tocksley's engine in real Link sessions: with another engine and with a bare
// Link peer (as another program on the network would be). These tests run in a
// network namespace of their own, with loopback only.

namespace
{
    std::unique_ptr<MetronomeProcessor> makeEngine (float bpm)
    {
        auto engine = std::make_unique<MetronomeProcessor> (juce::File());
        engine->prepareToPlay (LinkPeers::rate, LinkPeers::period);
        engine->setParameter (MetronomeProcessor::bpmParameter, bpm);
        engine->setParameter (MetronomeProcessor::accentParameter, 1.0f);
        return engine;
    }

    /** Where each click starts, and which are accents, from the given sample on. */
    std::vector<ClickMatching::Click> clicksFrom (const std::vector<float>& output, juce::int64 from)
    {
        static const ClickMatching::Samples samples (0, LinkPeers::rate);
        auto clicks = ClickMatching::find (output, samples);
        clicks.erase (std::remove_if (clicks.begin(), clicks.end(), [from] (const auto& c) { return c.position < from; }), clicks.end());
        return clicks;
    }

    /** How far each click lies from the nearest click of the same kind in the reference,
        shifted by offset; a click with none within a tenth of a second counts as missing. */
    struct Alignment
    {
        int missing = 0;
        std::vector<juce::int64> offsets;

        /** Link's clock is the computer's, read at each block, so two devices agree to a
            fraction of a millisecond (48 samples), not to the sample; a test machine busy
            with other work may delay a block now and then. */
        void expectTight (const char* what) const
        {
            ASSERT_FALSE (offsets.empty()) << what;
            auto sorted = offsets;
            std::sort (sorted.begin(), sorted.end(), [] (auto a, auto b) { return std::abs (a) < std::abs (b); });
            const auto within = std::count_if (sorted.begin(), sorted.end(), [] (auto o) { return std::abs (o) <= 48; });

            EXPECT_EQ (missing, 0) << what;
            EXPECT_LE (std::abs (sorted[sorted.size() / 2]), 24) << what;
            EXPECT_GE ((double) within, 0.9 * (double) sorted.size()) << what;
        }
    };

    Alignment align (const std::vector<ClickMatching::Click>& clicks, const std::vector<ClickMatching::Click>& reference,
                     juce::int64 offset)
    {
        Alignment result;

        for (const auto& c : clicks)
        {
            juce::int64 nearest = std::numeric_limits<juce::int64>::max();

            for (const auto& r : reference)
                if (r.kind == c.kind && std::abs (r.position + offset - c.position) < std::abs (nearest))
                    nearest = r.position + offset - c.position;

            if (std::abs (nearest) > 4800)
                ++result.missing;
            else
                result.offsets.push_back (nearest);
        }

        return result;
    }

    bool tempoIs (MetronomeProcessor& engine, float bpm)
    {
        engine.followLinkSession();
        return std::abs (engine.getBpm() - bpm) < 0.01f;
    }
}

TEST (LinkSession, TwoEnginesShareEveryTempoEitherSets)
{
    auto first = makeEngine (97.0f);
    auto second = makeEngine (120.0f);
    LinkPeers peers { { { first.get(), 512 }, { second.get(), 128 } } };

    // The older session wins when two meet: the first is older by more than Link's margin.
    first->setLinkOn (true);
    peers.run (1.5);
    second->setLinkOn (true);

    ASSERT_TRUE (peers.runUntil ([&] { return first->getLinkPeers() == 1 && second->getLinkPeers() == 1; }, 5.0));

    // The session that was there first keeps its tempo; the newcomer takes it.
    EXPECT_TRUE (peers.runUntil ([&] { return tempoIs (*second, 97.0f); }, 2.0));
    EXPECT_TRUE (tempoIs (*first, 97.0f));

    second->setParameter (MetronomeProcessor::bpmParameter, 133.0f);
    EXPECT_TRUE (peers.runUntil ([&] { return tempoIs (*first, 133.0f); }, 2.0));

    first->setParameter (MetronomeProcessor::bpmParameter, 61.5f);
    EXPECT_TRUE (peers.runUntil ([&] { return tempoIs (*second, 61.5f); }, 2.0));

    // Off, the engine leaves the session: its tempo stays its own.
    second->setLinkOn (false);
    second->setParameter (MetronomeProcessor::bpmParameter, 150.0f);
    peers.run (1.0);
    EXPECT_TRUE (tempoIs (*first, 61.5f));
    EXPECT_EQ (second->getLinkPeers(), 0);
}

TEST (LinkSession, ClicksOfTwoEnginesFallOnTheSameSamplesAndBars)
{
    auto first = makeEngine (121.0f);
    auto second = makeEngine (121.0f);
    LinkPeers peers { { { first.get(), 512 }, { second.get(), 64 } } };

    first->setLinkOn (true);
    second->setLinkOn (true);
    ASSERT_TRUE (peers.runUntil ([&] { return first->getLinkPeers() == 1 && second->getLinkPeers() == 1; }, 5.0));

    // Started at different moments, and one changing the tempo on the way.
    first->setParameter (MetronomeProcessor::startParameter, 1.0f);
    peers.run (1.3);
    second->setParameter (MetronomeProcessor::startParameter, 1.0f);
    const auto secondStarted = peers.samplesPlayed;
    peers.run (3.0);
    second->setParameter (MetronomeProcessor::bpmParameter, 150.0f);
    peers.run (4.0);

    const auto firstClicks = clicksFrom (peers.devices[0].output, secondStarted);
    const auto secondClicks = clicksFrom (peers.devices[1].output, secondStarted);

    ASSERT_GT (secondClicks.size(), 12u);
    align (secondClicks, firstClicks, 0).expectTight ("the second against the first");
    align (firstClicks, secondClicks, 0).expectTight ("the first against the second");
    EXPECT_TRUE (std::any_of (secondClicks.begin(), secondClicks.end(), [] (const auto& c) { return c.kind == ClickMatching::Kind::accent; }));
}

TEST (LinkSession, TheOutputLatencySendsTheClicksThatMuchAhead)
{
    auto first = makeEngine (100.0f);
    auto second = makeEngine (100.0f);
    second->setDeviceLatency (300, 480);
    LinkPeers peers { { { first.get(), 256 }, { second.get(), 256 } } };

    first->setLinkOn (true);
    second->setLinkOn (true);
    ASSERT_TRUE (peers.runUntil ([&] { return first->getLinkPeers() == 1; }, 5.0));

    first->setParameter (MetronomeProcessor::startParameter, 1.0f);
    second->setParameter (MetronomeProcessor::startParameter, 1.0f);
    peers.run (6.0);

    // Heard 480 samples after it is written, the second device writes each click 480 samples earlier.
    // Clicks of the second whose partner would lie past the end of the take are left out.
    const auto firstClicks = clicksFrom (peers.devices[0].output, 48000);
    auto secondClicks = clicksFrom (peers.devices[1].output, 48000 - 480);
    const auto end = (juce::int64) peers.devices[0].output.size() - 480 - 4800;
    secondClicks.erase (std::remove_if (secondClicks.begin(), secondClicks.end(), [end] (const auto& c) { return c.position > end; }),
                        secondClicks.end());

    ASSERT_GE (secondClicks.size(), 5u);
    align (secondClicks, firstClicks, -480).expectTight ("ahead by the latency");
}

TEST (LinkSession, APeersTempoIsTakenAsSetAndOutsideTheRangeClampedHereAndNotSentBack)
{
    ableton::Link peer (140.0);
    peer.enable (true);

    auto engine = makeEngine (90.0f);
    LinkPeers peers { { { engine.get(), 512 } } };

    // The older session wins when two meet: the peer's is older by more than Link's margin.
    peers.run (1.5);
    engine->setLinkOn (true);
    ASSERT_TRUE (peers.runUntil ([&] { return engine->getLinkPeers() == 1; }, 5.0));
    EXPECT_TRUE (peers.runUntil ([&] { return tempoIs (*engine, 140.0f); }, 2.0));

    // Link holds the tempo as a beat's length in microseconds; the peer's 123 reads as 123 here.
    auto state = peer.captureAppSessionState();
    state.setTempo (123.0, peer.clock().micros());
    peer.commitAppSessionState (state);
    EXPECT_TRUE (peers.runUntil ([&] { engine->followLinkSession(); return engine->getBpm() == 123.0f; }, 2.0))
        << engine->getBpm();

    state = peer.captureAppSessionState();
    state.setTempo (520.0, peer.clock().micros());
    peer.commitAppSessionState (state);

    EXPECT_TRUE (peers.runUntil ([&] { return tempoIs (*engine, 400.0f); }, 2.0));
    peers.run (1.0);
    EXPECT_DOUBLE_EQ (peer.captureAppSessionState().tempo(), 520.0);

    // Clicks still play, at the fastest tempo the engine has.
    engine->setParameter (MetronomeProcessor::startParameter, 1.0f);
    const auto started = peers.samplesPlayed;
    peers.run (2.0);
    const auto onsets = EngineTestHelpers::findOnsets ({ peers.devices[0].output.begin() + started, peers.devices[0].output.end() }, 100);
    EXPECT_GE (onsets.size(), 12u);
}

TEST (LinkSession, StartAndStopFollowTheSessionWhenShared)
{
    ableton::Link peer (110.0);
    peer.enableStartStopSync (true);
    peer.enable (true);

    auto engine = makeEngine (110.0f);
    engine->setLinkStartStopSync (true);
    LinkPeers peers { { { engine.get(), 256 } } };
    engine->setLinkOn (true);
    ASSERT_TRUE (peers.runUntil ([&] { return engine->getLinkPeers() == 1; }, 5.0));

    // The peer starts: the engine starts with it, on the session's bar.
    auto state = peer.captureAppSessionState();
    state.setIsPlayingAndRequestBeatAtTime (true, peer.clock().micros(), 0.0, 4.0);
    peer.commitAppSessionState (state);

    EXPECT_TRUE (peers.runUntil ([&] { engine->followLinkSession(); return engine->isRunning(); }, 2.0));
    peers.run (2.0);
    EXPECT_FALSE (EngineTestHelpers::findOnsets (peers.devices[0].output, 100).empty());

    // Stopped here, the session stops.
    engine->setParameter (MetronomeProcessor::startParameter, 0.0f);
    peers.run (0.5);
    EXPECT_TRUE (peers.runUntil ([&] { return ! peer.captureAppSessionState().isPlaying(); }, 2.0));

    const auto stopped = peers.samplesPlayed;
    peers.run (1.0);
    const std::vector<float> after (peers.devices[0].output.begin() + stopped, peers.devices[0].output.end());
    EXPECT_TRUE (std::all_of (after.begin(), after.end(), [] (float v) { return v == 0.0f; }));
    EXPECT_FALSE (engine->isRunning());
}
