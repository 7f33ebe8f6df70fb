#pragma once

#include <juce_core/juce_core.h>

/**
    "tocksley-cli listen": plays an audio file into the engine's input with
    LISTEN on, the way a device would, and every 50 ms of audio time prints
    what the engine detects and what the panel would adopt from it, as CSV:

        time_s,detected_bpm,adopted_bpm

    With --out, START is on from the first sample, the adopted tempo drives the
    clicks, and the click track the engine plays alongside the file is written
    there (same length and rate). With --sync 1 as well, SYNC places the clicks
    on the music's beats.
*/
class ListenCommand
{
public:
    /** Runs the command on the arguments after "listen". Returns the exit code:
        0 on success, 2 for bad arguments or a file that is missing or not audio. */
    static int run (const juce::StringArray& arguments);

    static constexpr const char* usage = "tocksley-cli listen --in FILE.wav [--block K] [--out CLICKS.wav [--sync 0|1]]";
};
