#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/** Runs the real tocksley-cli binary, as a user would. */
namespace CliRunner
{
    struct Result
    {
        int exitCode;
        juce::String output;   // standard output and standard error together
    };

    inline Result run (const juce::StringArray& arguments)
    {
        juce::StringArray command { TOCKSLEY_CLI_PATH };
        command.addArray (arguments);

        juce::ChildProcess process;
        if (! process.start (command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
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
