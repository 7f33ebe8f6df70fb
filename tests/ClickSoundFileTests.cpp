#include "engine/ClickSoundFile.h"
#include "engine/SoundPack.h"

#include <gtest/gtest.h>
#include <cstring>
#include <limits>
#include <optional>

namespace
{
    // A different level and phase on every channel, and samples of both signs.
    juce::AudioBuffer<float> makeSound (int numChannels, int numFrames, double rate)
    {
        juce::AudioBuffer<float> sound (numChannels, numFrames);

        for (int ch = 0; ch < numChannels; ++ch)
            for (int i = 0; i < numFrames; ++i)
                sound.setSample (ch, i, (float) (0.8 / (ch + 1) * std::sin (2.0 * juce::MathConstants<double>::pi * 440.0 * i / rate + ch)));

        return sound;
    }

    void writeFile (juce::AudioFormat& format, const juce::AudioBuffer<float>& sound, double rate, int bits,
                    const juce::File& file)
    {
        ASSERT_TRUE (file.deleteFile());
        auto stream = std::make_unique<juce::FileOutputStream> (file);
        ASSERT_TRUE (stream->openedOk());

        std::unique_ptr<juce::AudioFormatWriter> writer (format.createWriterFor (stream.get(), rate, (unsigned int) sound.getNumChannels(),
                                                                                bits, {}, 0));
        ASSERT_NE (writer, nullptr);
        stream.release();   // the writer owns it now
        ASSERT_TRUE (writer->writeFromAudioSampleBuffer (sound, 0, sound.getNumSamples()));
    }

    juce::MemoryBlock fileBytes (juce::AudioFormat& format, const juce::AudioBuffer<float>& sound, double rate, int bits)
    {
        const juce::TemporaryFile file;
        writeFile (format, sound, rate, bits, file.getFile());
        juce::MemoryBlock bytes;
        file.getFile().loadFileAsData (bytes);
        return bytes;
    }

    juce::Result decodeBytes (const juce::MemoryBlock& bytes, juce::MemoryBlock& wav)
    {
        return ClickSoundFile::decode (std::make_unique<juce::MemoryInputStream> (bytes, false), wav);
    }

    struct Decoded
    {
        bool readable = false;
        double rate = 0;
        unsigned int bits = 0;
        bool isFloat = false;
        juce::AudioBuffer<float> audio;
    };

    // The WAV that ClickSoundFile made, read back by JUCE's WAV reader.
    Decoded readBack (const juce::MemoryBlock& wav)
    {
        std::unique_ptr<juce::AudioFormatReader> reader (juce::WavAudioFormat().createReaderFor (
            new juce::MemoryInputStream (wav, false), true));

        if (reader == nullptr)
            return {};

        Decoded decoded { true, reader->sampleRate, reader->bitsPerSample, reader->usesFloatingPointData,
                          juce::AudioBuffer<float> ((int) reader->numChannels, (int) reader->lengthInSamples) };
        reader->read (&decoded.audio, 0, decoded.audio.getNumSamples(), 0, true, true);
        return decoded;
    }

    float largestDifference (const juce::AudioBuffer<float>& a, int channelA, const juce::AudioBuffer<float>& b, int channelB)
    {
        float largest = 0.0f;

        for (int i = 0; i < juce::jmin (a.getNumSamples(), b.getNumSamples()); ++i)
            largest = juce::jmax (largest, std::abs (a.getSample (channelA, i) - b.getSample (channelB, i)));

        return largest;
    }

    void putInt (juce::MemoryBlock& bytes, size_t offset, juce::uint32 value)
    {
        for (size_t i = 0; i < 4; ++i)
            bytes[offset + i] = (char) ((value >> (8 * i)) & 0xff);
    }
}

TEST (ClickSoundFile, EachFormatPlaysThroughThePackPathAtAnotherDeviceRate)
{
    struct Case
    {
        const char* name;
        std::unique_ptr<juce::AudioFormat> format;
        int bits;
        float tolerance;   // largest error per sample
    };

    Case cases[] = {
        { "WAV 16-bit", std::make_unique<juce::WavAudioFormat>(), 16, 1.0f / 32768.0f },
        { "WAV 24-bit", std::make_unique<juce::WavAudioFormat>(), 24, 1.0f / 8388608.0f },
        { "WAV float", std::make_unique<juce::WavAudioFormat>(), 32, 0.0f },
        { "FLAC 16-bit", std::make_unique<juce::FlacAudioFormat>(), 16, 1.0f / 32768.0f },
        { "FLAC 24-bit", std::make_unique<juce::FlacAudioFormat>(), 24, 1.0f / 8388608.0f },
        { "Ogg Vorbis", std::make_unique<juce::OggVorbisAudioFormat>(), 32, 0.1f },
    };

    const auto sound = makeSound (1, 4410, 44100.0);

    for (auto& c : cases)
    {
        const juce::TemporaryFile file;
        writeFile (*c.format, sound, 44100.0, c.bits, file.getFile());

        juce::MemoryBlock wav;
        const auto result = ClickSoundFile::load (file.getFile(), wav);
        ASSERT_TRUE (result.wasOk()) << c.name << ": " << result.getErrorMessage();

        const auto decoded = readBack (wav);
        ASSERT_TRUE (decoded.readable) << c.name;
        EXPECT_EQ (decoded.rate, 44100.0) << c.name;
        EXPECT_EQ (decoded.bits, 32u) << c.name;
        EXPECT_TRUE (decoded.isFloat) << c.name;
        ASSERT_EQ (decoded.audio.getNumChannels(), 1) << c.name;
        ASSERT_EQ (decoded.audio.getNumSamples(), 4410) << c.name;
        EXPECT_LE (largestDifference (decoded.audio, 0, sound, 0), c.tolerance) << c.name;

        const auto source = SoundPack::createSource (wav.getData(), wav.getSize(), 48000.0f, 512);
        ASSERT_NE (source, nullptr) << c.name;
        ASSERT_EQ (source->getResampledLength(), 4800) << c.name;

        juce::AudioBuffer<float> played (2, 4800);
        source->getNextResampledBlock ({ &played, 0, 4800 });
        EXPECT_NEAR (played.getMagnitude (0, 0, 4800), 0.8f, 0.05f) << c.name;
        EXPECT_EQ (largestDifference (played, 0, played, 1), 0.0f) << c.name;
    }
}

TEST (ClickSoundFile, LongerFilesAreCutToTwoSecondsOfTheirOwnRate)
{
    struct Case
    {
        const char* name;
        std::unique_ptr<juce::AudioFormat> format;
        int bits;
        double rate;
        float tolerance;
    };

    Case cases[] = {
        { "WAV", std::make_unique<juce::WavAudioFormat>(), 16, 22050.0, 1.0f / 32768.0f },
        { "FLAC", std::make_unique<juce::FlacAudioFormat>(), 24, 32000.0, 1.0f / 8388608.0f },
        { "Ogg Vorbis", std::make_unique<juce::OggVorbisAudioFormat>(), 32, 16000.0, 1.0f },
    };

    for (auto& c : cases)
    {
        const auto sound = makeSound (2, (int) (5.0 * c.rate), c.rate);
        juce::MemoryBlock wav;
        const auto result = decodeBytes (fileBytes (*c.format, sound, c.rate, c.bits), wav);
        ASSERT_TRUE (result.wasOk()) << c.name << ": " << result.getErrorMessage();

        const auto decoded = readBack (wav);
        EXPECT_EQ (decoded.rate, c.rate) << c.name;
        ASSERT_EQ (decoded.audio.getNumSamples(), (int) (2.0 * c.rate)) << c.name;

        // What is kept is the start of the file, up to its last kept frame.
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_LE (largestDifference (decoded.audio, ch, sound, ch), c.tolerance) << c.name << " channel " << ch;
    }
}

TEST (ClickSoundFile, OneOrTwoChannelsAreKeptAndMoreAreMixedToTheirMean)
{
    const auto stereo = makeSound (2, 1000, 48000.0);
    juce::WavAudioFormat wavFormat;
    juce::MemoryBlock wav;
    ASSERT_TRUE (decodeBytes (fileBytes (wavFormat, stereo, 48000.0, 32), wav).wasOk());

    const auto keptStereo = readBack (wav);
    ASSERT_EQ (keptStereo.audio.getNumChannels(), 2);
    EXPECT_EQ (largestDifference (keptStereo.audio, 0, stereo, 0), 0.0f);
    EXPECT_EQ (largestDifference (keptStereo.audio, 1, stereo, 1), 0.0f);
    EXPECT_GT (largestDifference (stereo, 0, stereo, 1), 0.1f);

    const auto sixChannels = makeSound (6, 1000, 48000.0);
    juce::AudioBuffer<float> mean (1, 1000);

    for (int i = 0; i < 1000; ++i)
    {
        double total = 0;

        for (int ch = 0; ch < 6; ++ch)
            total += sixChannels.getSample (ch, i);

        mean.setSample (0, i, (float) (total / 6.0));
    }

    juce::FlacAudioFormat flacFormat;
    const std::pair<juce::AudioFormat*, int> formats[] = { { &wavFormat, 32 }, { &flacFormat, 24 } };

    for (const auto& [format, bits] : formats)
    {
        ASSERT_TRUE (decodeBytes (fileBytes (*format, sixChannels, 48000.0, bits), wav).wasOk()) << bits;
        const auto mixed = readBack (wav);
        ASSERT_EQ (mixed.audio.getNumChannels(), 1) << bits;
        ASSERT_EQ (mixed.audio.getNumSamples(), 1000) << bits;
        EXPECT_LE (largestDifference (mixed.audio, 0, mean, 0), bits == 32 ? 1.0e-7f : 2.0e-7f) << bits;
    }
}

TEST (ClickSoundFile, SamplesThatAreNotFiniteBecomeSilence)
{
    const auto nan = std::numeric_limits<float>::quiet_NaN();
    const auto inf = std::numeric_limits<float>::infinity();
    juce::WavAudioFormat wavFormat;
    juce::MemoryBlock wav;

    auto stereo = makeSound (2, 100, 48000.0);
    stereo.setSample (0, 10, nan);
    stereo.setSample (1, 20, inf);
    stereo.setSample (1, 30, -inf);
    ASSERT_TRUE (decodeBytes (fileBytes (wavFormat, stereo, 48000.0, 32), wav).wasOk());

    const auto kept = readBack (wav);
    ASSERT_EQ (kept.audio.getNumChannels(), 2);
    EXPECT_EQ (kept.audio.getSample (0, 10), 0.0f);
    EXPECT_EQ (kept.audio.getSample (1, 20), 0.0f);
    EXPECT_EQ (kept.audio.getSample (1, 30), 0.0f);
    EXPECT_EQ (kept.audio.getSample (0, 20), stereo.getSample (0, 20));

    // In a mix the sample counts as silence, not as a hole in the mean.
    juce::AudioBuffer<float> four (4, 100);
    four.clear();
    four.setSample (0, 5, 0.4f);
    four.setSample (1, 5, nan);
    four.setSample (2, 5, 0.2f);
    four.setSample (3, 5, 0.2f);
    four.setSample (2, 6, inf);
    four.setSample (3, 6, 0.8f);
    ASSERT_TRUE (decodeBytes (fileBytes (wavFormat, four, 48000.0, 32), wav).wasOk());

    const auto mixed = readBack (wav);
    ASSERT_EQ (mixed.audio.getNumChannels(), 1);
    EXPECT_FLOAT_EQ (mixed.audio.getSample (0, 5), 0.2f);
    EXPECT_FLOAT_EQ (mixed.audio.getSample (0, 6), 0.2f);
}

TEST (ClickSoundFile, WhatIsNotAUsableFileFailsAndLeavesTheOutputEmpty)
{
    const juce::TemporaryFile folder;
    ASSERT_TRUE (folder.getFile().createDirectory());

    const auto sound = makeSound (1, 4000, 44100.0);
    juce::WavAudioFormat wavFormat;
    juce::FlacAudioFormat flacFormat;
    const auto wavBytes = fileBytes (wavFormat, sound, 44100.0, 16);
    const auto flacBytes = fileBytes (flacFormat, sound, 44100.0, 16);
    juce::OggVorbisAudioFormat oggFormat;
    const auto oggBytes = fileBytes (oggFormat, sound, 44100.0, 32);

    juce::MemoryBlock random (4096);
    juce::Random rng (42);
    rng.fillBitsRandomly (random.getData(), random.getSize());

    const auto cut = [] (const juce::MemoryBlock& bytes, double fraction)
    {
        return juce::MemoryBlock (bytes.getData(), (size_t) ((double) bytes.getSize() * fraction));
    };

    const struct
    {
        const char* name;
        std::optional<juce::MemoryBlock> contents;   // none: the path is left as it is
        juce::String reason;
    } cases[] = {
        { "missing", std::nullopt, "the file does not exist" },
        { "empty", juce::MemoryBlock(), "the file is empty" },
        { "text", juce::MemoryBlock ("a click, but in words\n", 22), "the file cannot be read as WAV, FLAC or Ogg Vorbis audio" },
        { "random", random, "the file cannot be read as WAV, FLAC or Ogg Vorbis audio" },
        { "truncated WAV", cut (wavBytes, 0.6), "the file is cut short: it ends before the audio its header announces" },
        { "WAV missing one byte", cut (wavBytes, 1.0 - 1.0 / (double) wavBytes.getSize()), "cut short" },
        { "truncated FLAC", cut (flacBytes, 0.6), "the file's audio is cut short or damaged" },
        { "WAV header alone", cut (wavBytes, 0.01), "cut short" },
        { "FLAC header alone", juce::MemoryBlock (flacBytes.getData(), 30), "cannot be read as WAV, FLAC or Ogg Vorbis" },
        { "Ogg header alone", juce::MemoryBlock (oggBytes.getData(), 40), "cannot be read as WAV, FLAC or Ogg Vorbis" },
    };

    for (const auto& c : cases)
    {
        const juce::TemporaryFile file;

        // replaceWithData deletes the file rather than write nothing.
        if (c.contents.has_value())
        {
            ASSERT_TRUE (c.contents->isEmpty() ? file.getFile().create().wasOk()
                                               : file.getFile().replaceWithData (c.contents->getData(), c.contents->getSize())) << c.name;
        }

        juce::MemoryBlock wav ("left over", 9);
        const auto result = ClickSoundFile::load (file.getFile(), wav);
        EXPECT_TRUE (result.failed()) << c.name;
        EXPECT_TRUE (result.getErrorMessage().contains (c.reason)) << c.name << ": " << result.getErrorMessage();
        EXPECT_EQ (wav.getSize(), 0u) << c.name;
    }

    juce::MemoryBlock wav ("left over", 9);
    const auto result = ClickSoundFile::load (folder.getFile(), wav);
    EXPECT_EQ (result.getErrorMessage(), "it is a folder, not a sound file");
    EXPECT_EQ (wav.getSize(), 0u);
    folder.getFile().deleteRecursively();

    EXPECT_TRUE (ClickSoundFile::decode (nullptr, wav).failed());
    EXPECT_TRUE (ClickSoundFile::decode (std::make_unique<juce::MemoryInputStream> (nullptr, 0, false), wav).failed());
    EXPECT_EQ (wav.getSize(), 0u);
}

TEST (ClickSoundFile, WavHeadersThatLieAreRefused)
{
    // JUCE's plain WAV header: RIFF, a JUNK chunk of 52 bytes, "fmt " of 16 at 72, "data" at 96.
    juce::WavAudioFormat wavFormat;
    const auto original = fileBytes (wavFormat, makeSound (1, 4410, 44100.0), 44100.0, 16);
    ASSERT_EQ (juce::String (static_cast<const char*> (original.getData()) + 96, 4), "data");

    const auto patched = [&original] (std::initializer_list<std::pair<size_t, juce::uint32>> words)
    {
        auto bytes = original;
        for (const auto& [offset, value] : words)
            putInt (bytes, offset, value);
        return bytes;
    };

    const auto appended = [&original] (const char* chunk, juce::uint32 claimedSize)
    {
        auto bytes = original;
        bytes.append (chunk, 4);
        const auto end = bytes.getSize();
        bytes.append ("....INFO", 8);
        putInt (bytes, end, claimedSize);
        putInt (bytes, 4, (juce::uint32) bytes.getSize() - 8);
        return bytes;
    };

    const auto rateAndBytesPerSecond = [&patched] (juce::uint32 rate) { return patched ({ { 72 + 12, rate }, { 72 + 16, rate * 2 } }); };

    const struct
    {
        const char* name;
        juce::MemoryBlock bytes;
        juce::String reason;
    } refused[] = {
        { "rate 0", rateAndBytesPerSecond (0), "cannot be read as WAV" },
        { "rate 999", rateAndBytesPerSecond (999), "sample rate, 999" },
        { "rate 1000001", rateAndBytesPerSecond (1000001), "sample rate, 1000001" },
        { "300 channels", patched ({ { 72 + 8, 1 | (300u << 16) } }), "has 300 channels" },
        { "12-bit samples", patched ({ { 72 + 20, 2 | (12u << 16) } }), "12-bit samples" },
        { "no frames", fileBytes (wavFormat, juce::AudioBuffer<float> (1, 0), 44100.0, 16), "no audio frames" },
        { "more data than the file", patched ({ { 100, 100000 } }), "cut short" },
        { "LIST past the end", appended ("LIST", 1000), "cut short" },
        { "LIST with its pad byte missing", appended ("LIST", 5), "cut short" },
        { "bext of four gigabytes", appended ("bext", 0xfffffff0), "cut short" },
    };

    // A format chunk of the extensible kind, which JUCE writes for three channels, with 200 instead.
    auto extensible = fileBytes (wavFormat, makeSound (3, 100, 8000.0), 8000.0, 16);
    ASSERT_EQ (juce::String (static_cast<const char*> (extensible.getData()) + 48, 4), "fmt ");
    putInt (extensible, 56, 0xfffe | (200u << 16));

    for (const auto& c : refused)
    {
        juce::MemoryBlock wav;
        const auto result = decodeBytes (c.bytes, wav);
        EXPECT_TRUE (result.getErrorMessage().contains (c.reason)) << c.name << ": " << result.getErrorMessage();
        EXPECT_EQ (wav.getSize(), 0u) << c.name;
    }

    juce::MemoryBlock refusedWav;
    EXPECT_EQ (decodeBytes (extensible, refusedWav).getErrorMessage(), "the file has 200 channels; a click sound can have 1 to 128");
    EXPECT_EQ (refusedWav.getSize(), 0u);

    // The limits themselves are accepted, and a metadata chunk that fits is read past.
    for (const juce::uint32 rate : { 1000u, 1000000u })
    {
        juce::MemoryBlock wav;
        const auto result = decodeBytes (rateAndBytesPerSecond (rate), wav);
        ASSERT_TRUE (result.wasOk()) << rate << ": " << result.getErrorMessage();
        EXPECT_EQ (readBack (wav).rate, (double) rate);
    }

    juce::MemoryBlock wav;
    const char tag[] = "ID3\x03\0\0\x7f\x7f\x7f\x7f and whatever a tagger writes";
    auto withTagAfter = original;
    withTagAfter.append (tag, sizeof (tag) - 1);
    EXPECT_TRUE (decodeBytes (withTagAfter, wav).wasOk());

    auto withList = appended ("LIST", 4);
    withList.append ("\0\0\0\0", 4);   // the INFO list, empty, and a size that fits it
    putInt (withList, 4, (juce::uint32) withList.getSize() - 8);
    EXPECT_TRUE (decodeBytes (withList, wav).wasOk());
}

TEST (ClickSoundFile, Rf64IsReadThroughItsOwnSizes)
{
    // JUCE leaves room for a ds64 chunk in its JUNK chunk; filling it in makes the file RF64.
    juce::WavAudioFormat wavFormat;
    const auto original = fileBytes (wavFormat, makeSound (1, 4410, 44100.0), 44100.0, 16);

    const auto rf64 = [&original] (juce::uint64 dataSize)
    {
        auto bytes = original;
        std::memcpy (bytes.begin(), "RF64", 4);
        putInt (bytes, 4, 0xffffffff);
        std::memcpy (bytes.begin() + 12, "ds64", 4);
        putInt (bytes, 20, (juce::uint32) bytes.getSize() - 8);
        putInt (bytes, 28, (juce::uint32) dataSize);
        putInt (bytes, 32, (juce::uint32) (dataSize >> 32));
        putInt (bytes, 100, 0xffffffff);
        return bytes;
    };

    juce::MemoryBlock wav;
    const auto result = decodeBytes (rf64 (4410 * 2), wav);
    ASSERT_TRUE (result.wasOk()) << result.getErrorMessage();
    EXPECT_EQ (readBack (wav).audio.getNumSamples(), 4410);

    EXPECT_TRUE (decodeBytes (rf64 ((juce::uint64) 1 << 33), wav).getErrorMessage().contains ("cut short"));
    EXPECT_EQ (wav.getSize(), 0u);
}

TEST (ClickSoundFile, LengthsThatAreNotWrittenDownAreFoundByReading)
{
    const auto sound = makeSound (2, 3000, 44100.0);

    // A FLAC stream written without knowing its length says 0 samples.
    juce::FlacAudioFormat flacFormat;
    auto flac = fileBytes (flacFormat, sound, 44100.0, 16);
    ASSERT_EQ (juce::String (static_cast<const char*> (flac.getData()), 4), "fLaC");
    flac[21] = (char) (flac[21] & 0xf0);
    for (size_t i = 22; i < 26; ++i)
        flac[i] = 0;

    juce::MemoryBlock wav;
    auto result = decodeBytes (flac, wav);
    ASSERT_TRUE (result.wasOk()) << result.getErrorMessage();
    const auto decoded = readBack (wav);
    ASSERT_EQ (decoded.audio.getNumSamples(), 3000);
    EXPECT_LE (largestDifference (decoded.audio, 1, sound, 1), 1.0f / 32768.0f);

    // A stream that cannot tell its own length.
    juce::WavAudioFormat wavFormat;
    const auto plain = fileBytes (wavFormat, sound, 44100.0, 24);
    juce::MemoryBlock compressed;
    {
        juce::GZIPCompressorOutputStream zip (new juce::MemoryOutputStream (compressed, false), 9, true);
        zip.write (plain.getData(), plain.getSize());
    }

    auto unzipped = std::make_unique<juce::GZIPDecompressorInputStream> (new juce::MemoryInputStream (compressed, false), true);
    ASSERT_LT (unzipped->getTotalLength(), 0);
    result = ClickSoundFile::decode (std::move (unzipped), wav);
    ASSERT_TRUE (result.wasOk()) << result.getErrorMessage();
    EXPECT_EQ (readBack (wav).audio.getNumSamples(), 3000);
}

TEST (ClickSoundFile, ChainedOggStreamsMustAgreeOnTheirChannels)
{
    juce::OggVorbisAudioFormat oggFormat;
    const auto mono = fileBytes (oggFormat, makeSound (1, 3000, 22050.0), 22050.0, 32);
    const auto stereo = fileBytes (oggFormat, makeSound (2, 3000, 22050.0), 22050.0, 32);

    const auto chain = [] (const juce::MemoryBlock& first, const juce::MemoryBlock& second)
    {
        auto bytes = first;
        bytes.append (second.getData(), second.getSize());
        return bytes;
    };

    // Each link has a serial number of its own: another writer, another number.
    const auto otherMono = fileBytes (oggFormat, makeSound (1, 3000, 22050.0), 22050.0, 32);

    juce::MemoryBlock wav;
    const auto alike = decodeBytes (chain (mono, otherMono), wav);
    ASSERT_TRUE (alike.wasOk()) << alike.getErrorMessage();
    EXPECT_EQ (readBack (wav).audio.getNumSamples(), 6000);

    // A later link with fewer channels than the first would be read past its end.
    const auto differing = decodeBytes (chain (stereo, mono), wav);
    EXPECT_EQ (differing.getErrorMessage(), "the file chains Ogg Vorbis streams of different channels or sample rates");
    EXPECT_EQ (wav.getSize(), 0u);
}
