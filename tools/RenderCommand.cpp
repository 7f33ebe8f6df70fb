#include "RenderCommand.h"
#include "CommandLineOptions.h"
#include "WavFileOutput.h"
#include "engine/MeterTables.h"
#include "engine/MetronomeProcessor.h"

#include <algorithm>
#include <tuple>
#include <iostream>
#include <limits>

namespace
{
    struct RenderSettings
    {
        float bpm;
        int beatsPerBar;
        int beatValueIndex;
        int subdivisionIndex;
        bool accent;
        int sound;
        float gain;
        double sampleRate;
        int blockSize;
        double seconds;
        juce::File output;

        PracticeSettings practice;
        juce::uint32 seed;
        juce::File accentFile, clickFile;
    };

    juce::File fileArgument (const CommandLineOptions& options, const juce::String& flag)
    {
        return options.has (flag) ? juce::File::getCurrentWorkingDirectory().getChildFile (options.getText (flag, {}))
                                  : juce::File();
    }

    /** A flag that means nothing without another. */
    void requireWith (const CommandLineOptions& options, const std::string& flag, const std::string& needed)
    {
        if (options.has (flag) && ! options.has (needed))
            throw CommandLineOptions::Error (needed + " is needed with " + flag);
    }

    PracticeSettings readPractice (const CommandLineOptions& options, int beatsPerBar, bool accent)
    {
        PracticeSettings practice;
        practice.pattern = PracticeSettings::makeDefaultPattern (accent);

        if (options.has ("--pattern"))
        {
            const auto text = options.getText ("--pattern", {});
            const auto levels = PracticeSettings::patternFromText (text);

            if (! levels || text.length() != beatsPerBar)
                throw CommandLineOptions::Error ("--pattern needs one of X x o . for each of the " + std::to_string (beatsPerBar)
                                                 + " beats, not '" + text.toStdString() + "'");
            practice.pattern = *levels;
        }

        practice.softSubdivisions = options.getInteger ("--soft-subdivisions", 0, 0, 1) == 1;
        practice.countInBars = options.getInteger ("--count-in", 0, 0, PracticeSettings::maxCountInBars);

        requireWith (options, "--trainer-step", "--trainer-target");
        requireWith (options, "--trainer-bars", "--trainer-target");

        practice.trainerOn = options.has ("--trainer-target");
        practice.trainerTargetBpm = (float) options.getNumber ("--trainer-target", practice.trainerTargetBpm,
                                                               MeterTables::minBpm, MeterTables::maxBpm);
        practice.trainerStepBpm = (float) options.getNumber ("--trainer-step", practice.trainerStepBpm, 0.1,
                                                             MeterTables::maxBpm - MeterTables::minBpm);
        practice.trainerEveryBars = options.getInteger ("--trainer-bars", practice.trainerEveryBars, 1, 64);

        requireWith (options, "--play-bars", "--mute-bars");
        requireWith (options, "--mute-bars", "--play-bars");

        if (options.has ("--play-bars") && options.has ("--random-mute"))
            throw CommandLineOptions::Error ("--random-mute cannot go with --play-bars and --mute-bars");

        if (options.has ("--play-bars"))
            practice.gap = PracticeSettings::Gap::fixedBars;
        else if (options.has ("--random-mute"))
            practice.gap = PracticeSettings::Gap::randomBars;

        practice.playBars = options.getInteger ("--play-bars", practice.playBars, 1, PracticeSettings::maxGapBars);
        practice.muteBars = options.getInteger ("--mute-bars", practice.muteBars, 1, PracticeSettings::maxGapBars);
        practice.randomMutePercent = (float) options.getNumber ("--random-mute", practice.randomMutePercent, 0.0, 100.0);
        return practice;
    }

    RenderSettings readSettings (const juce::StringArray& arguments)
    {
        const CommandLineOptions options (arguments, { "--bpm", "--beats", "--beat-value", "--subdivision", "--accent",
                                                       "--sound", "--gain", "--rate", "--block", "--seconds", "--out",
                                                       "--pattern", "--soft-subdivisions", "--count-in", "--trainer-target",
                                                       "--trainer-step", "--trainer-bars", "--play-bars", "--mute-bars",
                                                       "--random-mute", "--seed", "--accent-file", "--click-file" });
        RenderSettings settings;
        settings.bpm = (float) options.getNumber ("--bpm", 120.0, MeterTables::minBpm, MeterTables::maxBpm);
        settings.beatsPerBar = options.getInteger ("--beats", 4, 1, 16);

        const auto beatValue = options.getInteger ("--beat-value", 4, 2, 8);
        const auto* const found = std::find (std::begin (MeterTables::beatValues), std::end (MeterTables::beatValues), beatValue);
        if (found == std::end (MeterTables::beatValues))
            throw CommandLineOptions::Error ("--beat-value must be 2, 4 or 8, not " + std::to_string (beatValue));
        settings.beatValueIndex = (int) (found - std::begin (MeterTables::beatValues));

        settings.subdivisionIndex = options.getInteger ("--subdivision", 1, 0, MeterTables::numSubdivisions - 1);
        settings.accent = options.getInteger ("--accent", 0, 0, 1) == 1;
        settings.sound = options.getInteger ("--sound", 0, 0, MeterTables::numSoundPacks - 1);
        settings.gain = (float) options.getNumber ("--gain", 1.0, 0.0, 1.0);
        settings.sampleRate = options.getNumber ("--rate", 48000.0, 8000.0, 384000.0);
        settings.blockSize = options.getInteger ("--block", 512, 1, 65536);
        settings.seconds = options.getNumber ("--seconds", 10.0, 0.001, 3.0 * 3600.0);

        if (! options.has ("--out"))
            throw CommandLineOptions::Error ("--out is required");

        settings.output = fileArgument (options, "--out");
        settings.practice = readPractice (options, settings.beatsPerBar, settings.accent);
        settings.seed = (juce::uint32) options.getInteger ("--seed", 1, 0, std::numeric_limits<int>::max());
        settings.accentFile = fileArgument (options, "--accent-file");
        settings.clickFile = fileArgument (options, "--click-file");
        return settings;
    }

    /** Sets the engine up as the settings say; throws for a sound file that cannot be played. */
    void configure (MetronomeProcessor& engine, const RenderSettings& settings)
    {
        engine.setPlayConfigDetails (0, 2, settings.sampleRate, settings.blockSize);
        engine.prepareToPlay (settings.sampleRate, settings.blockSize);

        // The panel's order and value conventions: the beat value before the subdivision.
        engine.setParameter (MetronomeProcessor::bpmParameter, settings.bpm);
        engine.setParameter (MetronomeProcessor::beatsPerBarParameter, (float) settings.beatsPerBar);
        engine.setParameter (MetronomeProcessor::beatValueParameter, (float) settings.beatValueIndex);
        engine.setParameter (MetronomeProcessor::subdivisionParameter, (float) settings.subdivisionIndex);
        engine.setParameter (MetronomeProcessor::accentParameter, settings.accent ? 1.0f : 0.0f);
        engine.setParameter (MetronomeProcessor::soundParameter, (float) settings.sound);
        engine.setParameter (MetronomeProcessor::gainParameter, settings.gain);
        engine.setPracticeSettings (settings.practice);

        const std::tuple<const char*, MetronomeProcessor::SoundRole, juce::File> ownSounds[] {
            { "--accent-file", MetronomeProcessor::SoundRole::accent, settings.accentFile },
            { "--click-file", MetronomeProcessor::SoundRole::click, settings.clickFile }
        };

        for (const auto& [flag, role, file] : ownSounds)
            if (file != juce::File())
                if (const auto result = engine.setOwnSound (role, file); result.failed())
                    throw CommandLineOptions::Error (std::string (flag) + " " + file.getFullPathName().toStdString() + ": "
                                                     + result.getErrorMessage().toStdString());

        engine.setRandomSeed (settings.seed);
        engine.setParameter (MetronomeProcessor::startParameter, 1.0f);
    }
}

int RenderCommand::run (const juce::StringArray& arguments)
{
    RenderSettings settings;
    MetronomeProcessor engine { juce::File() };

    try
    {
        settings = readSettings (arguments);
        configure (engine, settings);
    }
    catch (const CommandLineOptions::Error& e)
    {
        std::cerr << "tocksley-cli render: " << e.what() << std::endl;
        return 2;
    }

    auto writer = WavFileOutput::create (settings.output, settings.sampleRate);

    if (writer == nullptr)
    {
        std::cerr << "tocksley-cli render: cannot write " << settings.output.getFullPathName()
                  << (settings.output.isDirectory() ? ": it is a directory" : "") << std::endl;
        return 1;
    }

    juce::AudioBuffer<float> block (2, settings.blockSize);
    juce::MidiBuffer midi;
    const auto totalSamples = (juce::int64) std::llround (settings.seconds * settings.sampleRate);

    for (juce::int64 written = 0; written < totalSamples; written += settings.blockSize)
    {
        engine.processBlock (block, midi);

        const auto toWrite = (int) juce::jmin ((juce::int64) settings.blockSize, totalSamples - written);

        if (! writer->writeFromAudioSampleBuffer (block, 0, toWrite))
        {
            std::cerr << "tocksley-cli render: cannot write " << settings.output.getFullPathName() << std::endl;
            return 1;
        }
    }

    return 0;
}
