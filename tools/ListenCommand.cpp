#include "ListenCommand.h"
#include "CommandLineOptions.h"
#include "engine/MetronomeProcessor.h"

#include <iostream>

namespace
{
    constexpr double reportInterval = 0.05;

    std::unique_ptr<juce::AudioFormatReader> openAudio (const juce::File& file)
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        return std::unique_ptr<juce::AudioFormatReader> (formats.createReaderFor (file));
    }
}

int ListenCommand::run (const juce::StringArray& arguments)
{
    juce::File input;
    int blockSize = 512;

    try
    {
        const CommandLineOptions options (arguments, { "--in", "--block" });

        if (! options.has ("--in"))
            throw CommandLineOptions::Error ("--in is required");

        input = juce::File::getCurrentWorkingDirectory().getChildFile (options.getText ("--in", {}));
        blockSize = options.getInteger ("--block", 512, 1, 65536);
    }
    catch (const CommandLineOptions::Error& e)
    {
        std::cerr << "tocksley-cli listen: " << e.what() << std::endl;
        return 2;
    }

    auto reader = input.existsAsFile() ? openAudio (input) : nullptr;

    if (reader == nullptr || reader->sampleRate <= 0 || reader->numChannels == 0)
    {
        std::cerr << "tocksley-cli listen: --in " << input.getFullPathName() << " is missing or not an audio file" << std::endl;
        return 2;
    }

    MetronomeProcessor engine { juce::File() };
    engine.setPlayConfigDetails (1, 2, reader->sampleRate, blockSize);
    engine.prepareToPlay (reader->sampleRate, blockSize);
    engine.setParameter (MetronomeProcessor::listenParameter, 1.0f);

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    const auto length = reader->lengthInSamples;
    juce::int64 nextReport = (juce::int64) std::llround (reportInterval * reader->sampleRate);
    int reportIndex = 1;
    juce::String adopted;

    std::cout << "time_s,detected_bpm,adopted_bpm\n";

    for (juce::int64 position = 0; position < length; position += blockSize)
    {
        // The first channel of the file is the device's first input.
        buffer.clear();
        reader->read (&buffer, 0, (int) juce::jmin ((juce::int64) blockSize, length - position), position, true, false);
        engine.processBlock (buffer, midi);

        const auto detected = engine.getDetectedBpm();
        if (TempoDetector::isAdoptableEstimate ((float) detected))
            adopted = juce::String (detected);

        for (; nextReport <= position + blockSize && nextReport <= length;
             nextReport = (juce::int64) std::llround (++reportIndex * reportInterval * reader->sampleRate))
        {
            std::cout << juce::String (reportIndex * reportInterval, 2) << ',' << detected << ',' << adopted << '\n';
        }
    }

    return 0;
}
