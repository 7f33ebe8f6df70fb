#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/**
    A musician's own click sound: a WAV, FLAC or Ogg Vorbis file turned into the
    bytes of an in-memory WAV, which SoundPack::createSource plays the way it
    plays the embedded packs.

    The sound keeps the file's sample rate and, when it has one or two channels,
    its channels; more are mixed down to one, their mean. Only the first
    maxSeconds of frames are kept, and a sample that is not a finite number
    becomes silence. What comes out is a 32-bit float WAV.

    Any bytes may be given. A file that cannot be read, or is not audio that a
    click can be made of, gives a failed Result whose message names the problem
    in a plain sentence, and leaves the output empty.
*/
class ClickSoundFile
{
public:
    /** Reads the sound from a stream, from its current position on. */
    static juce::Result decode (std::unique_ptr<juce::InputStream> stream, juce::MemoryBlock& wavOut);

    /** Reads the sound from a file. */
    static juce::Result load (const juce::File& file, juce::MemoryBlock& wavOut);

    /** The longest sound kept: a longer file is cut to this many seconds of frames. */
    static constexpr double maxSeconds = 2.0;

    /** The sample rates a file may have; anything else is taken for a broken header. */
    static constexpr double minSampleRate = 1000.0;
    static constexpr double maxSampleRate = 1.0e6;

    /** The most channels a file may have to be mixed down: more than any
        recording a click is made from, and as many as JUCE has types for. */
    static constexpr int maxChannels = 128;

    ClickSoundFile() = delete;
};
