#include "ClickMatching.h"
#include "CliRunner.h"
#include "ToneFile.h"
#include "engine/ClickSoundFile.h"

#include <gtest/gtest.h>

// The practice features from tocksley-cli render, as a musician would call it.

using namespace CliRunner;
using ClickMatching::Kind;

namespace
{
    std::vector<ClickMatching::Click> renderClicks (juce::StringArray arguments, double rate)
    {
        const juce::TemporaryFile wav (".wav");
        arguments.addArray ({ "--rate", juce::String (rate), "--out", wav.getFile().getFullPathName() });
        const auto result = run (arguments);
        EXPECT_EQ (result.exitCode, 0) << result.output;

        auto reader = openWav (wav.getFile());
        if (reader == nullptr)
            return {};

        std::vector<float> left ((size_t) reader->lengthInSamples);
        float* channels[] = { left.data() };
        reader->read (channels, 1, 0, (int) left.size());
        return ClickMatching::find (left, ClickMatching::Samples (0, rate));
    }

    std::string kinds (const std::vector<ClickMatching::Click>& clicks)
    {
        std::string text;
        for (const auto& c : clicks)
            text += c.kind == Kind::accent ? 'X' : c.kind == Kind::soft ? 'o' : 'x';
        return text;
    }
}

TEST (CliPractice, PatternCountInTrainerAndGapFromTheirFlags)
{
    // 7/8 as 2+2+3 with a soft beat and a silent one, in eighth-note beats.
    auto clicks = renderClicks ({ "render", "--bpm", "240", "--beats", "7", "--beat-value", "8", "--subdivision", "2",
                                  "--pattern", "XoX.Xxx", "--seconds", "5.2" }, 44100);
    EXPECT_EQ (kinds (clicks), "XoXXxxXoXXxxXoXXxx");
    EXPECT_EQ (clicks[3].position, (int64_t) std::floor (4 * 44100.0 * 60.0 / 240.0));

    // One bar of count-in in beats, then sixteenths.
    clicks = renderClicks ({ "render", "--bpm", "120", "--beats", "2", "--subdivision", "4", "--accent", "1",
                             "--count-in", "1", "--seconds", "1.9" }, 48000);
    EXPECT_EQ (kinds (clicks), "XxXxxxxxxx");
    EXPECT_EQ (ClickMatching::positions (clicks)[2], 48000);

    // Trainer: 100, 150, then 200 held; soft subdivisions in eighths.
    clicks = renderClicks ({ "render", "--bpm", "100", "--beats", "1", "--subdivision", "2", "--soft-subdivisions", "1",
                             "--trainer-target", "200", "--trainer-step", "50", "--trainer-bars", "1", "--seconds", "2" }, 48000);
    ASSERT_GE (clicks.size(), 6u);
    EXPECT_EQ (ClickMatching::positions (clicks)[1], 14400);
    EXPECT_EQ (ClickMatching::positions (clicks)[2], 28800);
    EXPECT_EQ (ClickMatching::positions (clicks)[3], 28800 + 9600);
    EXPECT_EQ (ClickMatching::positions (clicks)[4], 28800 + 19200);
    EXPECT_EQ (kinds (clicks).substr (0, 6), "xoxoxo");

    // Gap: one bar played, two muted.
    clicks = renderClicks ({ "render", "--bpm", "240", "--beats", "2", "--play-bars", "1", "--mute-bars", "2",
                             "--seconds", "3" }, 48000);
    EXPECT_EQ (ClickMatching::positions (clicks), (std::vector<int64_t> { 0, 12000, 72000, 84000 }));

    // Random mute: the same seed gives the same bars, and bar 1 always plays.
    const juce::StringArray randomMute { "render", "--bpm", "400", "--beats", "1", "--random-mute", "50", "--seconds", "6" };
    auto withSeed = [&] (const char* seed) { auto a = randomMute; a.addArray ({ "--seed", seed }); return renderClicks (a, 48000); };
    const auto first = withSeed ("4");
    EXPECT_EQ (first, withSeed ("4"));
    EXPECT_NE (first, withSeed ("5"));
    EXPECT_EQ (first.front().position, 0);
    EXPECT_GT (first.size(), 8u);
    EXPECT_LT (first.size(), 32u);
}

TEST (CliPractice, BadPracticeValuesNameTheFlagAndExitWithTwo)
{
    const std::vector<std::pair<juce::StringArray, juce::String>> cases {
        { { "--pattern", "Xxx" }, "--pattern" },                      // four beats by default
        { { "--pattern", "XxqX" }, "--pattern" },
        { { "--beats", "17" }, "--beats" },
        { { "--soft-subdivisions", "2" }, "--soft-subdivisions" },
        { { "--count-in", "5" }, "--count-in" },
        { { "--count-in", "-1" }, "--count-in" },
        { { "--trainer-target", "401" }, "--trainer-target" },
        { { "--trainer-target", "200", "--trainer-step", "0" }, "--trainer-step" },
        { { "--trainer-target", "200", "--trainer-bars", "0" }, "--trainer-bars" },
        { { "--trainer-step", "5" }, "--trainer-step" },
        { { "--play-bars", "2" }, "--mute-bars" },
        { { "--play-bars", "17", "--mute-bars", "1" }, "--play-bars" },
        { { "--play-bars", "1", "--mute-bars", "0" }, "--mute-bars" },
        { { "--random-mute", "101" }, "--random-mute" },
        { { "--random-mute", "10", "--seed", "-1" }, "--seed" },
        { { "--random-mute", "10", "--play-bars", "1", "--mute-bars", "1" }, "--random-mute" },
    };

    for (const auto& [flags, flag] : cases)
    {
        juce::StringArray arguments { "render", "--seconds", "0.1", "--out", "x.wav" };
        arguments.addArray (flags);
        const auto result = run (arguments);
        EXPECT_EQ (result.exitCode, 2) << arguments.joinIntoString (" ");
        EXPECT_TRUE (result.output.contains (flag)) << arguments.joinIntoString (" ") << ": " << result.output;
        EXPECT_EQ (result.output.trim().indexOfChar ('\n'), -1) << result.output;
    }

    EXPECT_FALSE (juce::File::getCurrentWorkingDirectory().getChildFile ("x.wav").exists());
}

TEST (CliPractice, OwnSoundsFromFilesAndAFileThatCannotBeRead)
{
    const juce::TemporaryFile accent (".wav"), click (".wav"), wav (".wav"), broken (".flac");
    ASSERT_TRUE (writeToneFile (accent.getFile(), 44100, 1500, 0.1));
    ASSERT_TRUE (writeToneFile (click.getFile(), 48000, 700, 0.1));
    broken.getFile().replaceWithText ("fLaC but not really");

    for (const auto* block : { "64", "4096" })
    {
        const auto result = run ({ "render", "--accent", "1", "--beats", "2", "--block", block, "--seconds", "1.1",
                                   "--accent-file", accent.getFile().getFullPathName(),
                                   "--click-file", click.getFile().getFullPathName(), "--out", wav.getFile().getFullPathName() });
        ASSERT_EQ (result.exitCode, 0) << result.output;

        auto reader = openWav (wav.getFile());
        ASSERT_NE (reader, nullptr);
        std::vector<float> left ((size_t) reader->lengthInSamples);
        float* channels[] = { left.data() };
        reader->read (channels, 1, 0, (int) left.size());

        // The files as the engine plays them at the device rate, on beats 1 and 2.
        for (const auto& [file, at] : { std::pair (accent.getFile(), 0), std::pair (click.getFile(), 24000) })
        {
            juce::MemoryBlock decoded;
            ASSERT_TRUE (ClickSoundFile::load (file, decoded).wasOk());
            const auto played = EngineTestHelpers::resampledSample (decoded.getData(), decoded.getSize(), 48000);

            for (size_t i = 0; i < 1000; ++i)
                ASSERT_EQ (left[(size_t) at + i], played[i]) << "block " << block << ", sample " << i;
        }
    }

    for (const auto* flag : { "--accent-file", "--click-file" })
    {
        const auto result = run ({ "render", flag, broken.getFile().getFullPathName(), "--out", wav.getFile().getFullPathName() });
        EXPECT_EQ (result.exitCode, 2);
        EXPECT_TRUE (result.output.startsWith ("tocksley-cli render: " + juce::String (flag))) << result.output;
        EXPECT_EQ (result.output.trim().indexOfChar ('\n'), -1) << result.output;
    }
}
