#include "ClickSoundFile.h"
#include "FlacStreamReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

// Only the functions: the header's own static callbacks would go unused.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

namespace
{
    constexpr const char* notAudio = "the file cannot be read as WAV, FLAC or Ogg Vorbis audio";
    constexpr const char* cutShort = "the file is cut short: it ends before the audio its header announces";

    // Small enough that even the widest file's chunk stays a few megabytes.
    constexpr int framesPerChunk = 4096;

    juce::Result fail (const juce::String& why)
    {
        return juce::Result::fail (why);
    }

    int chunkId (const char* name)
    {
        return (int) juce::ByteOrder::littleEndianInt (name);
    }

    bool isWav (const juce::AudioFormatReader& reader)
    {
        return reader.getFormatName() == juce::WavAudioFormat().getFormatName();
    }

    juce::Result tooManyChannels (int numChannels)
    {
        return fail ("the file has " + juce::String (numChannels) + " channels; a click sound can have 1 to "
                     + juce::String (ClickSoundFile::maxChannels));
    }

    // JUCE's WAV reader takes the sizes in a file's header at their word: it
    // allocates whatever a chunk claims, loops for ever in a metadata chunk that
    // runs past the end of the file, and pads missing audio with silence. So
    // every chunk is walked here the way that reader walks them, and must lie
    // inside the file, before the reader sees it. A format chunk's channels are
    // counted too: the reader names the channels of a file with more than
    // maxChannels by values its channel type does not have.
    juce::Result checkWavChunks (juce::InputStream& in)
    {
        const auto start = in.getPosition();
        const auto size = in.getTotalLength() - start;
        const auto riff = in.readInt();
        const auto riffSize = (juce::uint64) (juce::uint32) in.readInt();
        const auto wave = in.readInt();
        const bool isRF64 = riff == chunkId ("RF64");

        if (size < 12 || (riff != chunkId ("RIFF") && ! isRF64) || wave != chunkId ("WAVE"))
            return fail (notAudio);

        // Bytes after the RIFF chunk (a tag appended by some program) are no part of the audio.
        auto riffEnd = isRF64 ? std::numeric_limits<juce::uint64>::max() : riffSize + 8;
        juce::int64 rf64DataSize = 0;

        for (juce::int64 position = 12; (juce::uint64) position < riffEnd && position + 8 <= size;)
        {
            in.setPosition (start + position);
            const auto id = in.readInt();
            auto length = (juce::int64) (juce::uint32) in.readInt();
            const auto room = size - position - 8;

            if (isRF64 && position == 12)
            {
                // The reader looks for the 64-bit sizes in the first chunk only.
                if (id != chunkId ("ds64") || length < 28)
                    return fail (notAudio);

                riffEnd = (juce::uint64) in.readInt64() + 8;
                rf64DataSize = in.readInt64();
            }

            if (id == chunkId ("data"))
            {
                if (isRF64 && rf64DataSize > 0)
                    length = rf64DataSize;

                if (length > room)
                    return fail (cutShort);
            }
            else if (length + (length & 1) > room)
            {
                return fail (cutShort);
            }
            else if (id == chunkId ("fmt "))
            {
                // Read whatever the chunk's length, as the reader does.
                in.skipNextBytes (2);
                const auto numChannels = (int) (juce::uint16) in.readShort();

                if (numChannels > ClickSoundFile::maxChannels)
                    return tooManyChannels (numChannels);
            }

            position += 8 + length + (length & 1);
        }

        in.setPosition (start);
        return juce::Result::ok();
    }

    // JUCE's Ogg reader copies from every link of a chained stream as many
    // channels as the first link has, reading past the arrays of a later link
    // with fewer. So every link must have the first one's channels, and its rate.
    // The callbacks use the stream's positions as they are, as that reader does.
    juce::Result checkOggLinks (juce::InputStream& in)
    {
        ov_callbacks callbacks {};
        callbacks.read_func = [] (void* buffer, size_t size, size_t count, void* source) -> size_t
        {
            const auto wanted = (int) juce::jmin (size * count, (size_t) std::numeric_limits<int>::max());
            return size == 0 ? 0 : (size_t) juce::jmax (0, static_cast<juce::InputStream*> (source)->read (buffer, wanted)) / size;
        };
        callbacks.seek_func = [] (void* source, ogg_int64_t offset, int whence)
        {
            auto& stream = *static_cast<juce::InputStream*> (source);
            const auto base = whence == SEEK_CUR ? stream.getPosition() : whence == SEEK_END ? stream.getTotalLength() : 0;
            return stream.setPosition (base + offset) ? 0 : -1;
        };
        callbacks.tell_func = [] (void* source) { return (long) static_cast<juce::InputStream*> (source)->getPosition(); };

        const auto start = in.getPosition();
        OggVorbis_File file;

        if (ov_open_callbacks (&in, &file, nullptr, 0, callbacks) != 0)
        {
            in.setPosition (start);
            return fail (notAudio);
        }

        const auto* first = ov_info (&file, 0);
        bool linksAgree = first != nullptr;

        for (long link = 1; linksAgree && link < ov_streams (&file); ++link)
        {
            const auto* info = ov_info (&file, (int) link);
            linksAgree = info != nullptr && info->channels == first->channels && info->rate == first->rate;
        }

        ov_clear (&file);
        in.setPosition (start);
        return linksAgree ? juce::Result::ok() : fail ("the file chains Ogg Vorbis streams of different channels or sample rates");
    }

    // The format is told by the first bytes, so random bytes meet one parser at most.
    juce::Result openReader (std::unique_ptr<juce::InputStream> stream, std::unique_ptr<juce::AudioFormatReader>& reader)
    {
        const auto start = stream->getPosition();
        char magic[4] = {};
        stream->read (magic, sizeof (magic));
        stream->setPosition (start);

        const auto startsWith = [&magic] (const char* tag) { return std::memcmp (magic, tag, std::strlen (tag)) == 0; };

        if (startsWith ("RIFF") || startsWith ("RF64"))
        {
            if (const auto checked = checkWavChunks (*stream); checked.failed())
                return checked;

            reader.reset (juce::WavAudioFormat().createReaderFor (stream.release(), true));

            // JUCE hands a WAV that wraps Ogg Vorbis to its Ogg reader, past these checks.
            if (reader != nullptr && ! isWav (*reader))
                reader.reset();
        }
        else if (startsWith ("fLaC") || startsWith ("ID3"))
        {
            reader = FlacStreamReader::open (std::move (stream));
        }
        else if (startsWith ("OggS"))
        {
            if (const auto checked = checkOggLinks (*stream); checked.failed())
                return checked;

            reader.reset (juce::OggVorbisAudioFormat().createReaderFor (stream.release(), true));
        }

        return reader != nullptr ? juce::Result::ok() : fail (notAudio);
    }

    juce::Result checkReader (const juce::AudioFormatReader& reader)
    {
        const auto rate = reader.sampleRate;

        if (! (rate >= ClickSoundFile::minSampleRate && rate <= ClickSoundFile::maxSampleRate))
            return fail ("the file's sample rate, " + juce::String ((juce::int64) std::llround (rate)) + " Hz, is not between "
                         + juce::String ((int) ClickSoundFile::minSampleRate) + " and "
                         + juce::String ((int) ClickSoundFile::maxSampleRate) + " Hz");

        if (reader.numChannels < 1 || reader.numChannels > (unsigned int) ClickSoundFile::maxChannels)
            return tooManyChannels ((int) reader.numChannels);

        if (reader.lengthInSamples <= 0)
            return fail ("the file holds no audio frames");

        // JUCE's WAV reader leaves samples of any other size unconverted.
        if (isWav (reader))
        {
            const auto bits = reader.bitsPerSample;
            const bool readable = reader.usesFloatingPointData ? bits == 32 : (bits == 8 || bits == 16 || bits == 24 || bits == 32);

            if (! readable)
                return fail ("the file's " + juce::String (bits) + "-bit samples cannot be read");
        }

        return juce::Result::ok();
    }

    juce::Result readSound (juce::AudioFormatReader& reader, juce::AudioBuffer<float>& sound)
    {
        const auto numFrames = (int) juce::jmin (reader.lengthInSamples,
                                                 (juce::int64) std::floor (ClickSoundFile::maxSeconds * reader.sampleRate));
        const auto numChannels = (int) reader.numChannels;
        const bool keepsChannels = numChannels <= 2;

        sound.setSize (keepsChannels ? numChannels : 1, numFrames);
        juce::AudioBuffer<float> chunk (numChannels, juce::jmin (framesPerChunk, numFrames));
        std::vector<double> mix (keepsChannels ? 0 : (size_t) chunk.getNumSamples());

        for (int start = 0; start < numFrames; start += framesPerChunk)
        {
            const auto n = juce::jmin (framesPerChunk, numFrames - start);

            if (! reader.read (&chunk, 0, n, start, true, true))
                return fail ("the file's audio is cut short or damaged");

            for (int ch = 0; ch < numChannels; ++ch)
            {
                auto* samples = chunk.getWritePointer (ch);

                for (int i = 0; i < n; ++i)
                    if (! std::isfinite (samples[i]))
                        samples[i] = 0.0f;
            }

            if (keepsChannels)
            {
                for (int ch = 0; ch < numChannels; ++ch)
                    sound.copyFrom (ch, start, chunk, ch, 0, n);

                continue;
            }

            // Summed in double, so that no mean of finite floats overflows.
            std::fill (mix.begin(), mix.end(), 0.0);

            for (int ch = 0; ch < numChannels; ++ch)
            {
                const auto* samples = chunk.getReadPointer (ch);

                for (int i = 0; i < n; ++i)
                    mix[(size_t) i] += samples[i];
            }

            auto* mono = sound.getWritePointer (0, start);

            for (int i = 0; i < n; ++i)
                mono[i] = (float) (mix[(size_t) i] / numChannels);
        }

        return juce::Result::ok();
    }

    juce::Result writeWav (const juce::AudioBuffer<float>& sound, double sampleRate, juce::MemoryBlock& wavOut)
    {
        juce::MemoryBlock wav;

        {
            auto stream = std::make_unique<juce::MemoryOutputStream> (wav, false);
            std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
                stream.get(), sampleRate, (unsigned int) sound.getNumChannels(), 32, {}, 0));

            if (writer == nullptr)
                return fail ("the sound cannot be written as WAV");

            stream.release();   // the writer owns it now

            if (! writer->writeFromAudioSampleBuffer (sound, 0, sound.getNumSamples()))
                return fail ("the sound cannot be written as WAV");
        }   // the header is completed as the writer closes

        wavOut.swapWith (wav);
        return juce::Result::ok();
    }
}

juce::Result ClickSoundFile::decode (std::unique_ptr<juce::InputStream> stream, juce::MemoryBlock& wavOut)
{
    wavOut.reset();

    if (stream == nullptr)
        return fail ("there is nothing to read");

    // The readers seek and the checks measure: a stream that cannot tell its
    // length is read into memory first.
    if (stream->getTotalLength() < 0)
    {
        juce::MemoryBlock bytes;
        stream->readIntoMemoryBlock (bytes);
        stream = std::make_unique<juce::MemoryInputStream> (std::move (bytes));
    }

    std::unique_ptr<juce::AudioFormatReader> reader;

    if (const auto opened = openReader (std::move (stream), reader); opened.failed())
        return opened;

    if (const auto checked = checkReader (*reader); checked.failed())
        return checked;

    juce::AudioBuffer<float> sound;

    if (const auto read = readSound (*reader, sound); read.failed())
        return read;

    return writeWav (sound, reader->sampleRate, wavOut);
}

juce::Result ClickSoundFile::load (const juce::File& file, juce::MemoryBlock& wavOut)
{
    wavOut.reset();

    if (file.isDirectory())
        return fail ("it is a folder, not a sound file");

    if (! file.existsAsFile())
        return fail ("the file does not exist");

    if (file.getSize() == 0)
        return fail ("the file is empty");

    std::unique_ptr<juce::InputStream> stream (file.createInputStream());

    if (stream == nullptr)
        return fail ("the file cannot be opened for reading");

    return decode (std::move (stream), wavOut);
}
