#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <iostream>

// Writes the seed corpus of the click sound fuzzer with JUCE's own writers:
//     click-sound-seeds DIRECTORY
// Each seed is short, so that the fuzzer spends its time on the headers.

namespace
{
    juce::AudioBuffer<float> click (int numChannels, int numFrames)
    {
        juce::AudioBuffer<float> sound (numChannels, numFrames);

        for (int ch = 0; ch < numChannels; ++ch)
            for (int i = 0; i < numFrames; ++i)
                sound.setSample (ch, i, (float) (std::exp (-i / 40.0) * std::sin (0.3 * i + ch)));

        return sound;
    }

    juce::MemoryBlock encode (juce::AudioFormat&& format, const juce::AudioBuffer<float>& sound, double rate, int bits)
    {
        juce::MemoryBlock bytes;
        auto stream = std::make_unique<juce::MemoryOutputStream> (bytes, false);
        std::unique_ptr<juce::AudioFormatWriter> writer (format.createWriterFor (stream.get(), rate, (unsigned int) sound.getNumChannels(),
                                                                                bits, {}, 0));
        if (writer == nullptr)
            return {};

        stream.release();   // the writer owns it now
        writer->writeFromAudioSampleBuffer (sound, 0, sound.getNumSamples());
        writer.reset();     // completes the header
        return bytes;
    }
}

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: click-sound-seeds DIRECTORY" << std::endl;
        return 2;
    }

    const juce::File directory (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    directory.createDirectory();

    const auto mono = click (1, 200);
    const auto stereo = click (2, 200);
    const auto wav16 = encode (juce::WavAudioFormat(), mono, 8000.0, 16);
    const auto oggStereo = encode (juce::OggVorbisAudioFormat(), stereo, 8000.0, 32);

    // Ogg streams may be chained one after another, each with its own channels.
    auto chainedOgg = oggStereo;
    const auto oggMono = encode (juce::OggVorbisAudioFormat(), mono, 8000.0, 32);
    chainedOgg.append (oggMono.getData(), oggMono.getSize());

    const std::pair<const char*, juce::MemoryBlock> seeds[] = {
        { "mono-16bit.wav", wav16 },
        { "stereo-float.wav", encode (juce::WavAudioFormat(), stereo, 8000.0, 32) },
        { "six-channel-24bit.wav", encode (juce::WavAudioFormat(), click (6, 40), 8000.0, 24) },
        { "stereo-16bit.flac", encode (juce::FlacAudioFormat(), stereo, 8000.0, 16) },
        { "mono-24bit.flac", encode (juce::FlacAudioFormat(), mono, 8000.0, 24) },
        { "stereo.ogg", oggStereo },
        { "stereo-then-mono.ogg", chainedOgg },
        { "truncated.wav", juce::MemoryBlock (wav16.getData(), wav16.getSize() / 2) },
        { "empty", juce::MemoryBlock() },
    };

    for (const auto& [name, bytes] : seeds)
    {
        const auto file = directory.getChildFile (name);

        // replaceWithData deletes the file rather than write nothing.
        const bool written = file.deleteFile() && (bytes.isEmpty() ? file.create().wasOk()
                                                                   : file.replaceWithData (bytes.getData(), bytes.getSize()));
        if (! written)
        {
            std::cerr << "click-sound-seeds: cannot write " << file.getFullPathName() << std::endl;
            return 1;
        }
    }

    return 0;
}
