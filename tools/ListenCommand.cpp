#include "ListenCommand.h"
#include "CommandLineOptions.h"
#include "WavFileOutput.h"
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

    struct ListenSettings
    {
        juce::File input, output;
        int blockSize = 512;
        bool sync = false;
    };

    ListenSettings readSettings (const juce::StringArray& arguments)
    {
        const CommandLineOptions options (arguments, { "--in", "--block", "--sync", "--out" });
        const auto directory = juce::File::getCurrentWorkingDirectory();

        if (! options.has ("--in"))
            throw CommandLineOptions::Error ("--in is required");

        ListenSettings settings;
        settings.input = directory.getChildFile (options.getText ("--in", {}));
        settings.blockSize = options.getInteger ("--block", 512, 1, 65536);
        settings.sync = options.getInteger ("--sync", 0, 0, 1) == 1;

        if (settings.sync && ! options.has ("--out"))
            throw CommandLineOptions::Error ("--sync needs --out, the click track it places");

        if (options.has ("--out"))
            settings.output = directory.getChildFile (options.getText ("--out", {}));

        return settings;
    }
}

int ListenCommand::run (const juce::StringArray& arguments)
{
    ListenSettings settings;

    try
    {
        settings = readSettings (arguments);
    }
    catch (const CommandLineOptions::Error& e)
    {
        std::cerr << "tocksley-cli listen: " << e.what() << std::endl;
        return 2;
    }

    auto reader = settings.input.existsAsFile() ? openAudio (settings.input) : nullptr;

    if (reader == nullptr || reader->sampleRate <= 0 || reader->numChannels == 0)
    {
        std::cerr << "tocksley-cli listen: --in " << settings.input.getFullPathName() << " is missing or not an audio file" << std::endl;
        return 2;
    }

    const auto blockSize = settings.blockSize;
    std::unique_ptr<juce::AudioFormatWriter> writer;

    if (settings.output != juce::File())
    {
        writer = WavFileOutput::create (settings.output, reader->sampleRate);

        if (writer == nullptr)
        {
            std::cerr << "tocksley-cli listen: cannot write " << settings.output.getFullPathName() << std::endl;
            return 1;
        }
    }

    MetronomeProcessor engine { juce::File() };
    engine.setPlayConfigDetails (1, 2, reader->sampleRate, blockSize);
    engine.prepareToPlay (reader->sampleRate, blockSize);
    engine.setParameter (MetronomeProcessor::listenParameter, 1.0f);
    engine.setSyncOn (settings.sync);

    // The click track starts with the file, as if START were pressed as the music began.
    if (writer != nullptr)
        engine.setParameter (MetronomeProcessor::startParameter, 1.0f);

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    const auto length = reader->lengthInSamples;
    juce::int64 nextReport = (juce::int64) std::llround (reportInterval * reader->sampleRate);
    int reportIndex = 1;
    juce::String adopted;

    std::cout << "time_s,detected_bpm,adopted_bpm\n";

    for (juce::int64 position = 0; position < length; position += blockSize)
    {
        const auto samplesInBlock = (int) juce::jmin ((juce::int64) blockSize, length - position);

        // The first channel of the file is the device's first input.
        buffer.clear();
        reader->read (&buffer, 0, samplesInBlock, position, true, false);
        engine.processBlock (buffer, midi);

        if (writer != nullptr && ! writer->writeFromAudioSampleBuffer (buffer, 0, samplesInBlock))
        {
            std::cerr << "tocksley-cli listen: cannot write " << settings.output.getFullPathName() << std::endl;
            return 1;
        }

        const auto detected = engine.getDetectedBpm();

        // The panel looks every 50 ms and adopts the estimate as the tempo.
        for (; nextReport <= position + blockSize && nextReport <= length;
             nextReport = (juce::int64) std::llround (++reportIndex * reportInterval * reader->sampleRate))
        {
            if (TempoDetector::isAdoptableEstimate ((float) detected))
            {
                adopted = juce::String (detected);
                engine.setParameter (MetronomeProcessor::bpmParameter, (float) detected);
            }

            std::cout << juce::String (reportIndex * reportInterval, 2) << ',' << detected << ',' << adopted << '\n';
        }
    }

    return 0;
}
