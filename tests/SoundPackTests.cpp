#include "EngineTestHelpers.h"

#include <TocksleyResources.h>
#include <gtest/gtest.h>

namespace
{
    struct ChunkInfo
    {
        juce::String id;
        juce::uint32 size;
        juce::uint32 offset;
    };

    std::vector<ChunkInfo> readChunks (const void* data, size_t size)
    {
        juce::MemoryInputStream in (data, size, false);
        std::vector<ChunkInfo> chunks;

        in.setPosition (12);
        while (in.getNumBytesRemaining() >= 8)
        {
            char id[5] = {};
            in.read (id, 4);
            const auto chunkSize = (juce::uint32) in.readInt();
            chunks.push_back ({ id, chunkSize, (juce::uint32) in.getPosition() });
            in.setPosition (in.getPosition() + chunkSize + (chunkSize & 1));
        }

        return chunks;
    }
}

TEST (SoundPacks, EmbeddedFilesHaveTheFormatsOfThePacks)
{
    struct Expected
    {
        const void* data;
        int bytes;
        int rate;
        juce::uint32 fmtBytes, dataBytes;
        int frames;
        std::vector<juce::String> chunkIds;
    };

    using namespace TocksleyResources;
    const std::vector<juce::String> withExtras { "fmt ", "data", "smpl", "muma" };
    const std::vector<juce::String> plain { "fmt ", "data" };
    const Expected table[] = {
        { classic_accent_wav, classic_accent_wavSize, 44100, 16, 5488, 2744, withExtras },
        { classic_click_wav, classic_click_wavSize, 44100, 16, 7056, 3528, withExtras },
        { drum_accent_wav, drum_accent_wavSize, 48000, 18, 47952, 23976, plain },
        { drum_click_wav, drum_click_wavSize, 48000, 18, 47816, 23908, plain },
        { techno_accent_wav, techno_accent_wavSize, 44100, 16, 41614, 20807, plain },
        { techno_click_wav, techno_click_wavSize, 44100, 16, 40708, 20354, plain },
    };
    const int expectedBytes[] = { 5708, 7276, 47998, 47862, 41658, 40752 };

    for (size_t i = 0; i < std::size (table); ++i)
    {
        const auto& e = table[i];
        EXPECT_EQ (e.bytes, expectedBytes[i]) << i;

        const auto chunks = readChunks (e.data, (size_t) e.bytes);
        std::vector<juce::String> ids;
        for (const auto& c : chunks)
            ids.push_back (c.id);
        EXPECT_EQ (ids, e.chunkIds) << i;
        EXPECT_EQ (chunks[0].size, e.fmtBytes) << i;
        EXPECT_EQ (chunks[1].size, e.dataBytes) << i;

        if (chunks.size() == 4)
        {
            EXPECT_EQ (chunks[2].size, 36u);
            EXPECT_EQ (chunks[3].size, 124u);
        }

        std::unique_ptr<juce::AudioFormatReader> reader (juce::WavAudioFormat().createReaderFor (
            new juce::MemoryInputStream (e.data, (size_t) e.bytes, false), true));
        ASSERT_NE (reader, nullptr) << i;
        EXPECT_EQ (reader->sampleRate, e.rate) << i;
        EXPECT_EQ (reader->numChannels, 1u) << i;
        EXPECT_EQ (reader->bitsPerSample, 16u) << i;
        EXPECT_FALSE (reader->usesFloatingPointData) << i;
        EXPECT_EQ (reader->lengthInSamples, e.frames) << i;
    }
}

TEST (SoundPacks, SoundsHaveTheirCharacter)
{
    const auto peakAndLastLoud = [] (const void* data, size_t size, float fraction)
    {
        const auto s = EngineTestHelpers::resampledSample (data, size, 48000);
        int peakAt = 0;
        for (size_t i = 0; i < s.size(); ++i)
            if (std::abs (s[i]) > std::abs (s[(size_t) peakAt]))
                peakAt = (int) i;

        int lastLoud = 0;
        for (size_t i = 0; i < s.size(); ++i)
            if (std::abs (s[i]) >= fraction * std::abs (s[(size_t) peakAt]))
                lastLoud = (int) i;

        return std::make_tuple (std::abs (s[(size_t) peakAt]), peakAt / 48.0, lastLoud / 48.0);
    };

    const auto classic = SoundPack::forIndex (0);
    const auto [accentPeak, accentPeakMs, accentDecayMs] = peakAndLastLoud (classic.accentData, classic.accentSize, 0.01f);
    EXPECT_GT (accentPeak, 0.9f);
    EXPECT_LT (accentPeakMs, 2.0);
    EXPECT_NEAR (accentDecayMs, 33.0, 6.0);

    const auto [clickPeak, clickPeakMs, clickDecayMs] = peakAndLastLoud (classic.clickData, classic.clickSize, 0.01f);
    EXPECT_GT (clickPeak, 0.9f);
    EXPECT_LT (clickPeakMs, 2.0);
    EXPECT_NEAR (clickDecayMs, 42.0, 6.0);

    const auto techno = SoundPack::forIndex (2);
    const auto [technoPeak, technoPeakMs, technoEndMs] = peakAndLastLoud (techno.accentData, techno.accentSize, 0.1f);
    EXPECT_NEAR (juce::Decibels::gainToDecibels (technoPeak), -3.0f, 0.3f);
    EXPECT_GT (technoEndMs, 440.0);
    juce::ignoreUnused (technoPeakMs);
}

TEST (SoundPacks, IndexSelectsThePackAndOthersFallBackToClassic)
{
    EXPECT_STREQ (SoundPack::forIndex (1).name, "Drum");
    EXPECT_STREQ (SoundPack::forIndex (2).name, "Techno");
    EXPECT_EQ (SoundPack::forIndex (2).accentData, (const void*) TocksleyResources::techno_accent_wav);
    EXPECT_EQ (SoundPack::forIndex (2).clickData, (const void*) TocksleyResources::techno_click_wav);

    for (const int other : { 0, 3, -1, 1000 })
    {
        EXPECT_EQ (SoundPack::forIndex (other).index, 0) << other;
        EXPECT_EQ (SoundPack::forIndex (other).accentData, (const void*) TocksleyResources::classic_accent_wav) << other;
    }
}

TEST (ResampledSource, RatiosAndLengthsFollowTheDeviceRate)
{
    for (const double rate : { 22050.0, 44100.0, 48000.0, 96000.0 })
    {
        for (int index = 0; index < 3; ++index)
        {
            const auto pack = SoundPack::forIndex (index);
            const auto source = SoundPack::createSource (pack.clickData, pack.clickSize, (float) rate, 512);
            const auto sourceRate = index == 1 ? 48000.0 : 44100.0;

            EXPECT_DOUBLE_EQ (source->getResamplingRatio(), sourceRate / rate);
            EXPECT_EQ (source->getResampledLength(), (int) std::ceil ((double) source->getTotalLength() * rate / sourceRate));
        }
    }
}

TEST (ResampledSource, UnityRatioPlaysTheSampleUnchanged)
{
    const auto drum = SoundPack::forIndex (1);
    const auto played = EngineTestHelpers::resampledSample (drum.accentData, drum.accentSize, 48000);

    std::unique_ptr<juce::AudioFormatReader> reader (juce::WavAudioFormat().createReaderFor (
        new juce::MemoryInputStream (drum.accentData, drum.accentSize, false), true));
    juce::AudioBuffer<float> raw (1, (int) reader->lengthInSamples);
    reader->read (&raw, 0, raw.getNumSamples(), 0, true, false);

    ASSERT_EQ (played.size(), (size_t) raw.getNumSamples());
    for (int i = 0; i < raw.getNumSamples(); ++i)
        ASSERT_EQ (played[(size_t) i], raw.getSample (0, i)) << i;
}

TEST (ResampledSource, PositionsAreInDeviceSamples)
{
    const auto classic = SoundPack::forIndex (0);
    auto source = SoundPack::createSource (classic.accentData, classic.accentSize, 48000.0f, 512);
    const auto sample = EngineTestHelpers::resampledSample (classic.accentData, classic.accentSize, 48000);

    juce::AudioBuffer<float> buffer (3, 300);
    buffer.clear();
    buffer.setSample (2, 0, 0.25f);

    source->setNextResampledPosition (-100);
    source->getNextResampledBlock ({ &buffer, 0, 300 });

    EXPECT_EQ (buffer.getMagnitude (0, 0, 100), 0.0f);
    for (int i = 100; i < 300; ++i)
        ASSERT_EQ (buffer.getSample (0, i), sample[(size_t) (i - 100)]);
    EXPECT_EQ (buffer.getSample (2, 0), 0.25f);   // a third channel is left alone
    EXPECT_EQ (source->getNextResampledPosition(), 200);

    source->setNextResampledPosition (source->getResampledLength() - 10);
    source->getNextResampledBlock ({ &buffer, 0, 300 });
    EXPECT_NE (buffer.getMagnitude (0, 0, 10), 0.0f);
    EXPECT_EQ (buffer.getMagnitude (0, 10, 290), 0.0f);

    source->setNextResampledPosition (1 << 30);
    source->getNextResampledBlock ({ &buffer, 0, 300 });
    EXPECT_EQ (buffer.getMagnitude (0, 0, 300), 0.0f);
}

TEST (ResampledSource, UnreadableDataBuildsNoSource)
{
    const char notAWav[] = "RIFF....WAVEjunk";
    EXPECT_EQ (SoundPack::createSource (notAWav, sizeof (notAWav), 48000.0f, 512), nullptr);
}
