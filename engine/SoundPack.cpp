#include "SoundPack.h"
#include "MeterTables.h"

#include <TocksleyResources.h>

SoundPack SoundPack::forIndex (int index) noexcept
{
    using namespace TocksleyResources;

    switch (index)
    {
        case 1:  return { 1, MeterTables::soundPackNames[1], drum_accent_wav, (size_t) drum_accent_wavSize, drum_click_wav, (size_t) drum_click_wavSize };
        case 2:  return { 2, MeterTables::soundPackNames[2], techno_accent_wav, (size_t) techno_accent_wavSize, techno_click_wav, (size_t) techno_click_wavSize };
        default: return { 0, MeterTables::soundPackNames[0], classic_accent_wav, (size_t) classic_accent_wavSize, classic_click_wav, (size_t) classic_click_wavSize };
    }
}

std::unique_ptr<ResampledAudioFormatReaderSource> SoundPack::createSource (const void* wavData, size_t wavSize,
                                                                          float deviceRate, int blockSize)
{
    // The stream reads the embedded bytes in place; the reader owns and deletes it.
    auto* reader = juce::WavAudioFormat().createReaderFor (new juce::MemoryInputStream (wavData, wavSize, false), true);

    if (reader == nullptr)
        return nullptr;

    auto source = std::make_unique<ResampledAudioFormatReaderSource> (deviceRate, reader);
    source->prepareResampled (blockSize, (double) deviceRate);
    return source;
}
