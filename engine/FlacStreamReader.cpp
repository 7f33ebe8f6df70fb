#include "FlacStreamReader.h"

#include <FLAC/stream_decoder.h>
#include <cmath>
#include <cstring>
#include <limits>

// libFLAC's callbacks, and the handle they are registered with. Nested, so that
// they reach the reader's state.
struct FlacStreamReader::Decoder
{
    explicit Decoder (FlacStreamReader& r) : reader (r) {}

    ~Decoder()
    {
        if (handle != nullptr)
            FLAC__stream_decoder_delete (handle);
    }

    static FlacStreamReader& owner (void* client) { return static_cast<Decoder*> (client)->reader; }

    static FLAC__StreamDecoderReadStatus read (const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* client)
    {
        const auto wanted = (int) std::min (*bytes, (size_t) std::numeric_limits<int>::max());
        const auto got = owner (client).input->read (buffer, wanted);
        *bytes = (size_t) juce::jmax (0, got);
        return got > 0 ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }

    // libFLAC counts bytes from the start of the FLAC data, which need not be the stream's.
    static FLAC__StreamDecoderSeekStatus seek (const FLAC__StreamDecoder*, FLAC__uint64 offset, void* client)
    {
        auto& r = owner (client);
        const auto length = r.input->getTotalLength() - r.streamStart;

        if (length < 0 || offset > (FLAC__uint64) length || ! r.input->setPosition (r.streamStart + (juce::int64) offset))
            return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;

        return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
    }

    static FLAC__StreamDecoderTellStatus tell (const FLAC__StreamDecoder*, FLAC__uint64* offset, void* client)
    {
        auto& r = owner (client);
        *offset = (FLAC__uint64) juce::jmax ((juce::int64) 0, r.input->getPosition() - r.streamStart);
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__StreamDecoderLengthStatus length (const FLAC__StreamDecoder*, FLAC__uint64* bytes, void* client)
    {
        auto& r = owner (client);
        const auto total = r.input->getTotalLength() - r.streamStart;

        if (total < 0)
            return FLAC__STREAM_DECODER_LENGTH_STATUS_UNSUPPORTED;

        *bytes = (FLAC__uint64) total;
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }

    static FLAC__bool endOfStream (const FLAC__StreamDecoder*, void* client)
    {
        return owner (client).input->isExhausted();
    }

    static FLAC__StreamDecoderWriteStatus write (const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                 const FLAC__int32* const buffer[], void* client)
    {
        auto& r = owner (client);
        const auto& header = frame->header;
        const auto numSamples = (int) header.blocksize;

        // Channels beyond the frame's own would be read from arrays it does not have.
        if (header.channels != r.numChannels || header.bits_per_sample < 1 || header.bits_per_sample > 32 || numSamples <= 0)
        {
            r.failed = true;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }

        if (! r.countingOnly)
        {
            const auto scale = std::ldexp (1.0, 1 - (int) header.bits_per_sample);
            r.block.setSize ((int) r.numChannels, numSamples, false, false, true);

            for (int ch = 0; ch < (int) r.numChannels; ++ch)
            {
                auto* dest = r.block.getWritePointer (ch);

                for (int i = 0; i < numSamples; ++i)
                    dest[i] = (float) (buffer[ch][i] * scale);
            }

            r.blockStart = r.nextDecodedSample;
        }

        r.nextDecodedSample += numSamples;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void metadata (const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* client)
    {
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
            return;

        auto& r = owner (client);
        const auto& info = metadata->data.stream_info;
        r.sampleRate = info.sample_rate;
        r.numChannels = info.channels;
        r.bitsPerSample = info.bits_per_sample;
        r.lengthInSamples = (juce::int64) info.total_samples;
        r.hasStreamInfo = info.sample_rate > 0 && info.channels > 0;
    }

    // While the length is counted, what decodes is what counts; later a fault
    // means the audio is not what the header promised.
    static void error (const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client)
    {
        auto& r = owner (client);

        if (! r.countingOnly)
            r.failed = true;
    }

    FlacStreamReader& reader;
    FLAC__StreamDecoder* handle = nullptr;
};

std::unique_ptr<FlacStreamReader> FlacStreamReader::open (std::unique_ptr<juce::InputStream> stream)
{
    if (stream == nullptr)
        return nullptr;

    // The constructor is private, so make_unique cannot reach it.
    std::unique_ptr<FlacStreamReader> reader (new FlacStreamReader (stream.release()));

    if (! reader->hasStreamInfo)
        return nullptr;

    return reader;
}

FlacStreamReader::FlacStreamReader (juce::InputStream* stream)
    : juce::AudioFormatReader (stream, "FLAC file"),
      decoder (std::make_unique<Decoder> (*this)),
      streamStart (stream->getPosition())
{
    usesFloatingPointData = true;
    decoder->handle = FLAC__stream_decoder_new();

    if (decoder->handle == nullptr
        || FLAC__stream_decoder_init_stream (decoder->handle, Decoder::read, Decoder::seek, Decoder::tell, Decoder::length,
                                             Decoder::endOfStream, Decoder::write, Decoder::metadata, Decoder::error,
                                             decoder.get()) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return;

    FLAC__stream_decoder_process_until_end_of_metadata (decoder->handle);

    if (hasStreamInfo && lengthInSamples == 0)
    {
        // A stream written without knowing its length: count what it holds, then start again.
        countingOnly = true;
        FLAC__stream_decoder_process_until_end_of_stream (decoder->handle);
        countingOnly = false;

        const auto counted = nextDecodedSample;
        nextDecodedSample = 0;

        if (! FLAC__stream_decoder_reset (decoder->handle) || ! FLAC__stream_decoder_process_until_end_of_metadata (decoder->handle))
            failed = true;

        lengthInSamples = counted;
    }
}

// The decoder goes first: its callbacks use the stream, which the base deletes.
FlacStreamReader::~FlacStreamReader() = default;

bool FlacStreamReader::readSamples (int* const* destChannels, int numDestChannels, int startOffsetInDestBuffer,
                                    juce::int64 startSampleInFile, int numSamples)
{
    clearSamplesBeyondAvailableLength (destChannels, numDestChannels, startOffsetInDestBuffer, startSampleInFile,
                                       numSamples, lengthInSamples);

    while (numSamples > 0)
    {
        if (! decodeBlockHolding (startSampleInFile))
        {
            for (int ch = 0; ch < numDestChannels; ++ch)
                if (destChannels[ch] != nullptr)
                    juce::zeromem (destChannels[ch] + startOffsetInDestBuffer, (size_t) numSamples * sizeof (float));

            return false;
        }

        const auto offset = (int) (startSampleInFile - blockStart);
        const auto count = juce::jmin (numSamples, block.getNumSamples() - offset);

        // The samples are floats; AudioFormatReader hands every format int pointers.
        for (int ch = 0; ch < juce::jmin (numDestChannels, (int) numChannels); ++ch)
            if (destChannels[ch] != nullptr)
                std::memcpy (destChannels[ch] + startOffsetInDestBuffer, block.getReadPointer (ch, offset),
                             (size_t) count * sizeof (float));

        startOffsetInDestBuffer += count;
        startSampleInFile += count;
        numSamples -= count;
    }

    return true;
}

bool FlacStreamReader::decodeBlockHolding (juce::int64 sample)
{
    // Every pass either delivers a block that starts at the sample or marks the
    // stream failed, so this ends however the stream is made.
    for (;;)
    {
        if (sample >= blockStart && sample < blockStart + block.getNumSamples())
            return true;

        if (failed)
            return false;

        if (sample == nextDecodedSample)
        {
            const auto before = nextDecodedSample;

            if (! FLAC__stream_decoder_process_single (decoder->handle) || nextDecodedSample == before)
                failed = true;
        }
        else
        {
            // The frame holding the sample arrives, cut to start at it, during the
            // seek or from the next decode.
            nextDecodedSample = sample;

            if (! FLAC__stream_decoder_seek_absolute (decoder->handle, (FLAC__uint64) sample))
                failed = true;
        }
    }
}
