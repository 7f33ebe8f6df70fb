#include "WavFileOutput.h"

std::unique_ptr<juce::AudioFormatWriter> WavFileOutput::create (const juce::File& file, double sampleRate)
{
    // deleteFile would remove an empty folder and put the track in its place.
    if (file.isDirectory())
        return nullptr;

    if (file.exists() && ! file.deleteFile())
        return nullptr;

    auto stream = std::make_unique<juce::FileOutputStream> (file);

    if (stream->failedToOpen())
        return nullptr;

    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (stream.get(), sampleRate, 2, 32, {}, 0));

    if (writer != nullptr)
        stream.release();   // the writer owns it now

    return writer;
}
