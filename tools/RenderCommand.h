#pragma once

#include <juce_core/juce_core.h>

/**
    "tocksley-cli render": drives the real engine offline and writes its click
    track to a 32-bit float stereo WAV file, in blocks of exactly the size given.
*/
class RenderCommand
{
public:
    /** Runs the command on the arguments after "render". Returns the exit code:
        0 on success, 1 if the file cannot be written, 2 for bad arguments. */
    static int run (const juce::StringArray& arguments);

    static constexpr const char* usage =
        "tocksley-cli render --out FILE.wav [--bpm B] [--beats N] [--beat-value 2|4|8] [--subdivision 0..4]\n"
        "                    [--accent 0|1] [--sound 0|1|2] [--gain G] [--rate R] [--block K] [--seconds T]\n"
        "                    [--pattern X|x|o|. per beat] [--soft-subdivisions 0|1] [--count-in 0..4]\n"
        "                    [--trainer-target B [--trainer-step S] [--trainer-bars N]]\n"
        "                    [--play-bars N --mute-bars M | --random-mute PERCENT [--seed N]]\n"
        "                    [--accent-file FILE] [--click-file FILE]";
};
