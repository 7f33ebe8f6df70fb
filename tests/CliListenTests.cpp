#include "CliRunner.h"
#include "DrumMachine.h"
#include "EngineTestHelpers.h"

#include <gtest/gtest.h>

namespace
{
    /** A WAV of steady drum-machine beats at the tempo, first channel only. */
    juce::File writeBeats (const juce::File& file, double rate, double bpm, double seconds)
    {
        juce::AudioBuffer<float> audio (1, (int) (rate * seconds));
        audio.clear();
        juce::Random random (4);

        for (double start = 0; start < audio.getNumSamples(); start += rate * 60.0 / bpm)
            for (int i = 0; i < (int) (0.05 * rate) && (int) start + i < audio.getNumSamples(); ++i)
                audio.setSample (0, (int) start + i, 0.5f * (float) std::exp (-i / (0.015 * rate)) * (random.nextFloat() * 2.0f - 1.0f));

        file.deleteFile();
        std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
            file.createOutputStream().release(), rate, 1, 16, {}, 0));
        writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
        return file;
    }
}

TEST (CliListen, PrintsWhatIsDetectedAndAdoptedEveryFiftyMilliseconds)
{
    const juce::TemporaryFile wav (".wav");
    writeBeats (wav.getFile(), 44100, 120, 10);

    const auto result = CliRunner::run ({ "listen", "--in", wav.getFile().getFullPathName(), "--block", "300" });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    const auto lines = juce::StringArray::fromLines (result.output.trim());
    ASSERT_EQ (lines[0], "time_s,detected_bpm,adopted_bpm");
    EXPECT_EQ (lines.size(), 1 + 200);
    EXPECT_EQ (lines[1], "0.05,0,");
    EXPECT_TRUE (lines[200].startsWith ("10.00,")) << lines[200];

    const auto last = juce::StringArray::fromTokens (lines[200], ",", {});
    EXPECT_NEAR (last[1].getIntValue(), 120, 1);
    EXPECT_NEAR (last[2].getIntValue(), 120, 1);
}

TEST (CliListen, MissingOrNonAudioInputExitsWithTwo)
{
    const juce::TemporaryFile text (".wav");
    text.getFile().replaceWithText ("this is not audio");

    for (const auto& arguments : { juce::StringArray { "listen", "--in", "/nonexistent.wav" },
                                   juce::StringArray { "listen", "--in", text.getFile().getFullPathName() },
                                   juce::StringArray { "listen" },
                                   juce::StringArray { "listen", "--in", "x.wav", "--block", "0" } })
    {
        const auto result = CliRunner::run (arguments);
        EXPECT_EQ (result.exitCode, 2) << arguments.joinIntoString (" ");
        EXPECT_EQ (result.output.trim().indexOfChar ('\n'), -1) << result.output;
        EXPECT_TRUE (result.output.contains ("--")) << result.output;
    }
}

TEST (CliListen, SyncWritesTheClickTrackAlongsideTheFile)
{
    const juce::TemporaryFile in (".wav"), out (".wav");
    const auto music = DrumMachine::play (DrumMachine::rock, 48000.0, 128.0, 12.0, -6.0f, 0.3);

    {
        juce::AudioBuffer<float> audio (1, (int) music.size());
        audio.copyFrom (0, 0, music.data(), (int) music.size());
        std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
            in.getFile().createOutputStream().release(), 48000.0, 1, 24, {}, 0));
        ASSERT_NE (writer, nullptr);
        writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
    }

    const auto result = CliRunner::run ({ "listen", "--in", in.getFile().getFullPathName(), "--block", "333",
                                          "--sync", "1", "--out", out.getFile().getFullPathName() });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    const auto reader = CliRunner::openWav (out.getFile());
    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (reader->sampleRate, 48000.0);
    EXPECT_EQ (reader->lengthInSamples, (juce::int64) music.size());

    juce::AudioBuffer<float> clicks (2, (int) reader->lengthInSamples);
    reader->read (&clicks, 0, clicks.getNumSamples(), 0, true, true);
    const std::vector<float> left (clicks.getReadPointer (0), clicks.getReadPointer (0) + clicks.getNumSamples());
    const auto onsets = EngineTestHelpers::findOnsets (left, 2000);

    // The clicks start with the file and end on the music's beats once the tempo is adopted.
    ASSERT_FALSE (onsets.empty());
    EXPECT_EQ (onsets.front(), 0);

    const auto period = 48000.0 * 60.0 / 128.0;
    int checked = 0;

    for (const auto onset : onsets)
    {
        if (onset < 6 * 48000)
            continue;

        const auto beatsIn = (onset - 0.3 * 48000.0) / period;
        EXPECT_LT (std::abs (beatsIn - std::round (beatsIn)) * period / 48000.0, 0.010) << "click at " << onset;
        ++checked;
    }

    EXPECT_GT (checked, 8);
}

TEST (CliListen, SyncWithoutAClickTrackIsRefused)
{
    const juce::TemporaryFile in (".wav");
    const auto result = CliRunner::run ({ "listen", "--in", in.getFile().getFullPathName(), "--sync", "1" });
    EXPECT_EQ (result.exitCode, 2);
    EXPECT_TRUE (result.output.contains ("--out")) << result.output;
}
