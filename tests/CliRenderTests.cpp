#include "CliRunner.h"
#include "EngineTestHelpers.h"

#include <gtest/gtest.h>

using namespace CliRunner;

TEST (CliRender, TenMinutesAt97BpmStayOnTheIdealGrid)
{
    const juce::TemporaryFile wav (".wav");
    const auto result = run ({ "render", "--bpm", "97", "--rate", "44100", "--block", "512", "--seconds", "600",
                                  "--accent", "1", "--out", wav.getFile().getFullPathName() });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    auto reader = openWav (wav.getFile());
    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (reader->sampleRate, 44100.0);
    EXPECT_EQ (reader->numChannels, 2u);
    EXPECT_EQ (reader->bitsPerSample, 32u);
    EXPECT_TRUE (reader->usesFloatingPointData);
    ASSERT_EQ (reader->lengthInSamples, 600 * 44100);

    std::vector<float> left ((size_t) reader->lengthInSamples), right (left.size());
    float* channels[] = { left.data(), right.data() };
    ASSERT_TRUE (reader->read (channels, 2, 0, (int) left.size()));
    EXPECT_EQ (left, right);

    const auto onsets = EngineTestHelpers::findOnsets (left, 1000);
    const double spacing = 44100.0 * 60.0 / 97.0;
    ASSERT_EQ (onsets.size(), (size_t) std::ceil (600.0 * 44100.0 / spacing));
    EXPECT_EQ (onsets.front(), 0);

    const auto pack = SoundPack::forIndex (0);
    const auto accent = EngineTestHelpers::resampledSample (pack.accentData, pack.accentSize, 44100);
    const auto click = EngineTestHelpers::resampledSample (pack.clickData, pack.clickSize, 44100);

    for (size_t k = 0; k < onsets.size(); ++k)
    {
        const auto error = onsets[k] - (double) k * spacing;
        ASSERT_TRUE (error > -1.0 && error <= 0.0) << "click " << k << " is " << error << " samples off";

        if (k > 0)
        {
            ASSERT_TRUE (onsets[k] - onsets[k - 1] == 27278 || onsets[k] - onsets[k - 1] == 27279) << k;
        }

        const auto& expected = k % 4 == 0 ? accent : click;
        ASSERT_EQ (left[(size_t) onsets[k] + 10], expected[10]) << "click " << k;
    }
}

TEST (CliRender, BadArgumentsNameTheFlagAndExitWithTwo)
{
    const std::vector<std::pair<juce::StringArray, juce::String>> cases {
        { { "render", "--bpm", "abc", "--out", "x.wav" }, "--bpm" },
        { { "render", "--bpm", "1000", "--out", "x.wav" }, "--bpm" },
        { { "render", "--bpm", "nan", "--out", "x.wav" }, "--bpm" },
        { { "render", "--bpm", "120abc", "--out", "x.wav" }, "--bpm" },
        { { "render", "--beats", "17", "--out", "x.wav" }, "--beats" },
        { { "render", "--beats", "3.5", "--out", "x.wav" }, "--beats" },
        { { "render", "--beat-value", "3", "--out", "x.wav" }, "--beat-value" },
        { { "render", "--subdivision", "5", "--out", "x.wav" }, "--subdivision" },
        { { "render", "--accent", "2", "--out", "x.wav" }, "--accent" },
        { { "render", "--sound", "3", "--out", "x.wav" }, "--sound" },
        { { "render", "--gain", "1.5", "--out", "x.wav" }, "--gain" },
        { { "render", "--rate", "0", "--out", "x.wav" }, "--rate" },
        { { "render", "--block", "0", "--out", "x.wav" }, "--block" },
        { { "render", "--seconds", "-1", "--out", "x.wav" }, "--seconds" },
        { { "render", "--tempo", "120", "--out", "x.wav" }, "--tempo" },
        { { "render", "--bpm", "120" }, "--out" },
        { { "render", "--out" }, "--out" },
        { { "render", "--bpm", "120", "--bpm", "90", "--out", "x.wav" }, "--bpm" },
    };

    const auto workingDirectory = juce::File::getCurrentWorkingDirectory();

    for (const auto& [arguments, flag] : cases)
    {
        const auto result = run (arguments);
        EXPECT_EQ (result.exitCode, 2) << arguments.joinIntoString (" ");
        EXPECT_TRUE (result.output.contains (flag)) << arguments.joinIntoString (" ") << ": " << result.output;
        EXPECT_EQ (result.output.trim().indexOfChar ('\n'), -1) << result.output;
    }

    EXPECT_FALSE (workingDirectory.getChildFile ("x.wav").exists());
    EXPECT_EQ (run ({}).exitCode, 2);
    EXPECT_EQ (run ({ "play" }).exitCode, 2);
}

TEST (CliRender, UnwritableOutputFails)
{
    const auto result = run ({ "render", "--seconds", "1", "--out", "/nonexistent-dir/click.wav" });
    EXPECT_EQ (result.exitCode, 1);
    EXPECT_TRUE (result.output.contains ("cannot write"));
}

TEST (CliRender, LastBlockIsCutToTheRequestedLength)
{
    const juce::TemporaryFile wav (".wav");
    const auto result = run ({ "render", "--rate", "48000", "--block", "4096", "--seconds", "1.001",
                                  "--sound", "1", "--gain", "0.5", "--out", wav.getFile().getFullPathName() });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    auto reader = openWav (wav.getFile());
    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (reader->lengthInSamples, 48048);

    juce::AudioBuffer<float> audio (2, 48048);
    reader->read (&audio, 0, 48048, 0, true, true);
    EXPECT_NEAR (audio.getMagnitude (0, 0, 48048), 0.5f * 0.97f, 0.01f);
}

TEST (CliRender, HelpGoesToStandardOutputAndSucceeds)
{
    for (const juce::String flag : { "--help", "-h" })
    {
        const auto out = run ({ flag }, juce::ChildProcess::wantStdOut);
        EXPECT_EQ (out.exitCode, 0) << flag;
        EXPECT_TRUE (out.output.startsWith ("usage: tocksley-cli render --out FILE.wav")) << flag << ": " << out.output;
        EXPECT_TRUE (out.output.contains ("tocksley-cli listen --in FILE.wav")) << flag << ": " << out.output;

        const auto err = run ({ flag }, juce::ChildProcess::wantStdErr);
        EXPECT_EQ (err.exitCode, 0) << flag;
        EXPECT_EQ (err.output, juce::String()) << flag;
    }

    // A command it does not know is still a mistake, told on standard error.
    for (const juce::StringArray& arguments : { juce::StringArray { "play" }, juce::StringArray {}, juce::StringArray { "--helps" } })
    {
        const auto out = run (arguments, juce::ChildProcess::wantStdOut);
        EXPECT_EQ (out.exitCode, 2) << arguments.joinIntoString (" ");
        EXPECT_EQ (out.output, juce::String()) << arguments.joinIntoString (" ");

        const auto err = run (arguments, juce::ChildProcess::wantStdErr);
        EXPECT_EQ (err.exitCode, 2) << arguments.joinIntoString (" ");
        EXPECT_TRUE (err.output.startsWith ("usage: tocksley-cli render")) << err.output;
    }
}

TEST (CliRender, AnExistingDirectoryIsNeverReplaced)
{
    const juce::TemporaryFile emptyTemp, fullTemp;
    const auto empty = emptyTemp.getFile();
    const auto full = fullTemp.getFile();
    ASSERT_TRUE (empty.createDirectory());
    ASSERT_TRUE (full.createDirectory());
    const auto inside = full.getChildFile ("keep.txt");
    ASSERT_TRUE (inside.replaceWithText ("kept"));

    for (const auto& directory : { empty, full })
    {
        const auto path = directory.getFullPathName();
        const auto result = run ({ "render", "--seconds", "1", "--out", path }, juce::ChildProcess::wantStdErr);

        EXPECT_EQ (result.exitCode, 1) << path;
        EXPECT_EQ (juce::StringArray::fromLines (result.output)[0],
                   "tocksley-cli render: cannot write " + path + ": it is a directory") << result.output;
        EXPECT_TRUE (directory.isDirectory()) << path;
    }

    EXPECT_EQ (empty.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
    EXPECT_EQ (full.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
    EXPECT_EQ (inside.loadFileAsString(), "kept");

    full.deleteRecursively();
    empty.deleteRecursively();
}
