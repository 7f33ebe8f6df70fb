#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/** Runs the real tocksley-cli binary, as a user would. */
namespace CliRunner
{
    struct Result
    {
        int exitCode;
        juce::String output;   // the streams asked for, standard output and standard error by default
    };

    /** The streams not asked for go to /dev/null, so a test can tell which one a line went to. */
    inline Result run (const juce::StringArray& arguments,
                       int streams = juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr)
    {
        juce::StringArray command { TOCKSLEY_CLI_PATH };
        command.addArray (arguments);

        juce::ChildProcess process;
        if (! process.start (command, streams))
            return { -1, "could not start" };

        const auto output = process.readAllProcessOutput();
        process.waitForProcessToFinish (60000);
        return { (int) process.getExitCode(), output };
    }

    inline std::unique_ptr<juce::AudioFormatReader> openWav (const juce::File& file)
    {
        return std::unique_ptr<juce::AudioFormatReader> (juce::WavAudioFormat().createReaderFor (file.createInputStream().release(), true));
    }
}
