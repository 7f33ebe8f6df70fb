#pragma once

#include "MeterTables.h"
#include "ResampledAudioFormatReaderSource.h"

/**
    One of the three click sound packs: an accent sample for the first tick of a
    bar and a click sample for every other tick, both embedded in the program.
*/
struct SoundPack
{
    /** The pack for an index as sent in the "sound" parameter; any index but 1
        and 2 selects pack 0. */
    static SoundPack forIndex (int index) noexcept;

    /** A source playing one embedded sample at the device rate, prepared and
        positioned at its start; null if the data is not a readable WAV file. */
    static std::unique_ptr<ResampledAudioFormatReaderSource> createSource (const void* wavData, size_t wavSize,
                                                                          float deviceRate, int blockSize);

    int index;
    const char* name;
    const void* accentData;
    size_t accentSize;
    const void* clickData;
    size_t clickSize;

    static constexpr int numPacks = MeterTables::numSoundPacks;
};
