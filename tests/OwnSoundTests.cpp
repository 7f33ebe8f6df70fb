#include "ClickMatching.h"
#include "ToneFile.h"
#include "engine/ClickSoundFile.h"

#include <gtest/gtest.h>

// The musician's own click sounds in place of the pack's samples.

using namespace EngineTestHelpers;
using Role = MetronomeProcessor::SoundRole;

namespace
{
    void writeTone (const juce::File& file, double rate, double frequency, double seconds, int channels = 1)
    {
        ASSERT_TRUE (writeToneFile (file, rate, frequency, seconds, channels));
    }

    /** The file as the engine plays it at the rate. */
    std::vector<float> asPlayed (const juce::File& file, double rate)
    {
        juce::MemoryBlock wav;
        EXPECT_TRUE (ClickSoundFile::load (file, wav).wasOk());
        return resampledSample (wav.getData(), wav.getSize(), rate);
    }

    bool startsWith (const std::vector<float>& output, size_t at, const std::vector<float>& sample)
    {
        for (size_t i = 0; i < 200; ++i)
            if (output[at + i] != sample[i])
                return false;
        return true;
    }
}

TEST (OwnSounds, ReplaceThePacksSamplesForEveryPackAndDeviceRate)
{
    const juce::TemporaryFile accentFile (".wav"), clickFile (".wav");
    writeTone (accentFile.getFile(), 44100, 1500, 0.1);
    writeTone (clickFile.getFile(), 96000, 900, 0.1, 2);

    auto engine = makeRunningEngine (48000, 512, 120.0f);
    engine->setParameter (MetronomeProcessor::accentParameter, 1.0f);
    ASSERT_TRUE (engine->setOwnSound (Role::accent, accentFile.getFile()).wasOk());
    ASSERT_TRUE (engine->setOwnSound (Role::click, clickFile.getFile()).wasOk());
    EXPECT_EQ (engine->getOwnSoundFile (Role::click), clickFile.getFile());

    for (const int pack : { 0, 1, 2 })
    {
        engine->setParameter (MetronomeProcessor::soundParameter, (float) pack);
        engine->prepareToPlay (pack == 2 ? 44100 : 48000, 512);
        const auto rate = pack == 2 ? 44100.0 : 48000.0;
        const auto output = render (*engine, (int) rate + 1000, 512);

        EXPECT_TRUE (startsWith (output, 0, asPlayed (accentFile.getFile(), rate))) << "pack " << pack;
        EXPECT_TRUE (startsWith (output, (size_t) rate / 2, asPlayed (clickFile.getFile(), rate))) << "pack " << pack;
    }

    // Decoded once: the engine plays on after the files are gone, through a device change too.
    accentFile.getFile().deleteFile();
    engine->prepareToPlay (96000, 256);
    EXPECT_GT (juce::findMaximum (render (*engine, 2000, 256).data(), 2000), 0.1f);

    engine->clearOwnSound (Role::accent);
    engine->clearOwnSound (Role::click);
    engine->prepareToPlay (48000, 512);
    const ClickMatching::Samples techno (2, 48000);
    EXPECT_TRUE (startsWith (render (*engine, 1000, 512), 0, techno.accent));
    EXPECT_EQ (engine->getOwnSoundFile (Role::accent), juce::File());
}

TEST (OwnSounds, AFileThatCannotBeReadLeavesThePackPlaying)
{
    const juce::TemporaryFile text (".wav"), truncated (".wav"), good (".wav");
    text.getFile().replaceWithText ("not a sound");
    writeTone (good.getFile(), 48000, 700, 0.2);
    juce::MemoryBlock bytes;
    good.getFile().loadFileAsData (bytes);
    truncated.getFile().replaceWithData (bytes.getData(), 40);

    auto engine = makeRunningEngine (48000, 512, 120.0f);

    for (const auto& file : { text.getFile(), truncated.getFile(), juce::File ("/nonexistent/click.wav"),
                              juce::File::getSpecialLocation (juce::File::tempDirectory) })
    {
        const auto result = engine->setOwnSound (Role::click, file);
        EXPECT_TRUE (result.failed()) << file.getFullPathName();
        EXPECT_TRUE (result.getErrorMessage().isNotEmpty());
    }

    const ClickMatching::Samples classic (0, 48000);
    EXPECT_TRUE (startsWith (render (*engine, 1000, 512), 0, classic.click));
    EXPECT_EQ (engine->getOwnSoundFile (Role::click), juce::File());
}

TEST (OwnSounds, PresetsKeepThePathsAndSayWhenAFileIsGone)
{
    const juce::TemporaryFile clickFile (".wav");
    writeTone (clickFile.getFile(), 48000, 1100, 0.1);

    MetronomeProcessor engine { juce::File() };
    engine.prepareToPlay (48000, 512);
    engine.addPreset ("pack");
    ASSERT_TRUE (engine.setOwnSound (Role::click, clickFile.getFile()).wasOk());
    engine.addPreset ("own");

    EXPECT_EQ (engine.presets.getChild (0).getProperty ("clickFile").toString(), clickFile.getFile().getFullPathName());
    EXPECT_FALSE (engine.presets.getChild (0).hasProperty ("accentFile"));
    EXPECT_FALSE (engine.presets.getChild (1).hasProperty ("clickFile"));

    engine.setCurrentProgram (1);
    EXPECT_EQ (engine.getOwnSoundFile (Role::click), juce::File());

    engine.setCurrentProgram (0);
    EXPECT_EQ (engine.getOwnSoundFile (Role::click), clickFile.getFile());
    EXPECT_TRUE (engine.getOwnSoundError (Role::click).isEmpty());

    clickFile.getFile().deleteFile();
    engine.setCurrentProgram (1);
    engine.setCurrentProgram (0);
    EXPECT_EQ (engine.getOwnSoundFile (Role::click), juce::File());
    EXPECT_TRUE (engine.getOwnSoundError (Role::click).isNotEmpty());
    EXPECT_EQ (engine.presets.getChild (0).getProperty ("clickFile").toString(), clickFile.getFile().getFullPathName());
}
