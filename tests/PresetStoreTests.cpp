#include "engine/MetronomeProcessor.h"

#include <gtest/gtest.h>

// The preset file on disk, in a fresh temporary directory per test.

namespace
{
    const char* const exampleFile =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "\r\n"
        "<presets active=\"1\">\r\n"
        "  <preset name=\"Waltz\" bpm=\"90\" beatsPerBarIndex=\"3\" beatsValueIndex=\"1\"\r\n"
        "          sound=\"0\" gain=\"1\" accent=\"1\" subDivIndex=\"1\" mute=\"0\"/>\r\n"
        "  <preset name=\"Groove\" bpm=\"120\" beatsPerBarIndex=\"4\" beatsValueIndex=\"1\"\r\n"
        "          sound=\"1\" gain=\"1\" accent=\"0\" subDivIndex=\"2\" mute=\"0\"/>\r\n"
        "</presets>\r\n";

    class PresetStore : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            directory = juce::File::createTempFile ("presets");
            ASSERT_TRUE (directory.createDirectory());
            file = directory.getChildFile ("Orlavane/Tocksley/preset.dat");
        }

        void TearDown() override
        {
            directory.deleteRecursively();
        }

        void writeFile (const juce::String& text)
        {
            ASSERT_TRUE (file.getParentDirectory().createDirectory());
            ASSERT_TRUE (file.replaceWithText (text, false, false, nullptr));
        }

        juce::String readFile() const   { return file.loadFileAsString(); }

        juce::File directory, file;
    };
}

TEST_F (PresetStore, NoFileGivesAnEmptyListAndTheFirstSaveCreatesTheDirectory)
{
    {
        MetronomeProcessor engine (file);
        EXPECT_EQ (engine.getNumPrograms(), 0);
        EXPECT_EQ (engine.getCurrentProgram(), 0);
        EXPECT_EQ (engine.getProgramName (0), "");
        EXPECT_FALSE (file.exists());
    }

    EXPECT_EQ (readFile(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<presets/>\r\n");
}

TEST_F (PresetStore, TheExampleLayoutIsWrittenBackByteForByte)
{
    writeFile (exampleFile);

    {
        MetronomeProcessor engine (file);
        ASSERT_EQ (engine.getNumPrograms(), 2);
        EXPECT_EQ (engine.getCurrentProgram(), 1);
        EXPECT_EQ (engine.getProgramName (0), "Waltz");

        engine.setCurrentProgram (1);
        EXPECT_EQ (engine.getBpm(), 120.0f);
        EXPECT_EQ (engine.ticksPerBeat.load(), 2.0f);
        EXPECT_EQ (engine.getSoundIndex(), 1);
    }

    EXPECT_EQ (readFile(), exampleFile);
}

TEST_F (PresetStore, AddedPresetsAreWrittenAtOnceWithTheirNumbersInFull)
{
    MetronomeProcessor engine (file);
    engine.setParameter (MetronomeProcessor::gainParameter, 0.7f);
    engine.addPreset ("A");

    // Written without waiting for the exit, so a crash loses nothing.
    EXPECT_EQ (readFile(),
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
               "\r\n"
               "<presets>\r\n"
               "  <preset name=\"A\" bpm=\"120\" beatsPerBarIndex=\"4\" beatsValueIndex=\"1\" sound=\"0\"\r\n"
               "          gain=\"0.69999998807907104492\" accent=\"0\" subDivIndex=\"1\" mute=\"0\"/>\r\n"
               "</presets>\r\n");

    engine.addPreset ("B");
    engine.setCurrentProgram (1);
    EXPECT_TRUE (readFile().contains ("<presets active=\"1\">"));
    EXPECT_LT (readFile().indexOf ("\"B\""), readFile().indexOf ("\"A\""));

    engine.presets.removeChild (0, nullptr);
    EXPECT_FALSE (readFile().contains ("\"B\""));
    EXPECT_TRUE (readFile().contains ("\"A\""));

    // Deleting leaves "active" as it was: it now designates the preset that followed.
    EXPECT_EQ (engine.getCurrentProgram(), 1);
}

TEST_F (PresetStore, NamesWithMarkupAndForeignLettersRoundTrip)
{
    const juce::String names[] = { "Rock & Roll", "\"Quoted\" <tag>", juce::CharPointer_UTF8 ("Valse \xc3\xa0 Z\xc3\xbcrich \xe2\x99\xa9"),
                                   "caret^tick`", "tab\there" };
    {
        MetronomeProcessor engine (file);
        for (const auto& name : names)
            engine.addPreset (name);
    }

    EXPECT_TRUE (readFile().contains ("Rock &amp; Roll"));
    EXPECT_TRUE (readFile().contains ("&quot;Quoted&quot; &lt;tag&gt;"));
    EXPECT_TRUE (readFile().contains ("Valse &#224; Z&#252;rich &#9833;"));

    MetronomeProcessor engine (file);
    ASSERT_EQ (engine.getNumPrograms(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ (engine.getProgramName (4 - i), names[i]);
}

TEST_F (PresetStore, AMalformedFileIsKeptAsideAndNeverOverwritten)
{
    const juce::String broken = "<presets><preset name=\"Half\" bpm=\"9";
    writeFile (broken);

    {
        MetronomeProcessor engine (file);
        EXPECT_EQ (engine.getNumPrograms(), 0);
        EXPECT_EQ (engine.getPresetFile().getKeptAsideFile(), file.getSiblingFile ("preset.dat.bad"));
        engine.addPreset ("New");
    }

    EXPECT_EQ (file.getSiblingFile ("preset.dat.bad").loadFileAsString(), broken);
    EXPECT_TRUE (readFile().contains ("New"));

    // A second broken file goes beside the first without touching it.
    writeFile ("not xml at all");
    {
        MetronomeProcessor engine (file);
        EXPECT_EQ (engine.getNumPrograms(), 0);
    }
    EXPECT_EQ (file.getSiblingFile ("preset.dat.bad").loadFileAsString(), broken);
    EXPECT_EQ (file.getSiblingFile ("preset.dat.bad2").loadFileAsString(), "not xml at all");
}

TEST_F (PresetStore, EmptyHugeAndDeeplyNestedFilesAreKeptAside)
{
    const auto keptAsideAfterStart = [this] (const juce::String& text)
    {
        writeFile (text);
        MetronomeProcessor engine (file);
        const auto keptAside = engine.getPresetFile().getKeptAsideFile();
        const bool ok = engine.getNumPrograms() == 0 && keptAside.existsAsFile() && keptAside.getSize() == (juce::int64) text.getNumBytesAsUTF8();
        keptAside.deleteFile();
        return ok;
    };

    EXPECT_TRUE (keptAsideAfterStart (""));
    EXPECT_TRUE (keptAsideAfterStart (juce::String::repeatedString ("<a>", 200000)));
    EXPECT_TRUE (keptAsideAfterStart (juce::String::repeatedString ("<a x=\"/>\">", 100000)));   // quotes do not hide depth
    EXPECT_TRUE (keptAsideAfterStart ("<p x=y\"" + juce::String::repeatedString ("<a>", 100000)));    // nor a stray one
    EXPECT_TRUE (keptAsideAfterStart ("<?xml version=\"1.0\"?><presets><?pi?>text</presets>"));       // the parser would never return
    EXPECT_TRUE (keptAsideAfterStart ("<presets><p a-->b=\"x<!-c=\"1\"<?xml v=\"1\"?>\"/></presets>"));   // nor here
    EXPECT_TRUE (keptAsideAfterStart ("<presets><preset name=\"R &amp; B\"/></presets>&#xA"));                // it would read past the end
    EXPECT_TRUE (keptAsideAfterStart ("<presets><preset name=\"R & B\"/></presets>"));

    // Bytes that are not UTF-8 after valid markup: the framework's text handling would read past them.
    const char notUtf8[] = "<presets active=\"1\"><preset name=\"\xbe\xff\xff\xff\"/></presets>";
    ASSERT_TRUE (file.replaceWithData (notUtf8, sizeof (notUtf8) - 1));
    {
        MetronomeProcessor engine (file);
        EXPECT_EQ (engine.getNumPrograms(), 0);
        EXPECT_EQ (engine.getPresetFile().getKeptAsideFile().getSize(), (juce::int64) sizeof (notUtf8) - 1);
    }

    // Overlong forms and NUL bytes are not UTF-8 either: read and written back they would change.
    const char overlong[] = "<presets><preset name=\"\xc1\xb1\"/></presets>";
    const char withNul[] = "<presets><preset name=\"a\0b\"/></presets>";

    for (const auto& [bytes, size] : { std::pair (overlong, sizeof (overlong) - 1), std::pair (withNul, sizeof (withNul) - 1) })
    {
        ASSERT_TRUE (file.replaceWithData (bytes, size));
        MetronomeProcessor engine (file);
        EXPECT_EQ (engine.getNumPrograms(), 0);
        EXPECT_EQ (engine.getPresetFile().getKeptAsideFile().getSize(), (juce::int64) size);
        engine.getPresetFile().getKeptAsideFile().deleteFile();
    }

    juce::String huge ("<presets>");
    const juce::String preset ("<preset name=\"p\" bpm=\"120\"/>");
    while (huge.length() <= PresetFile::maxFileBytes)
        huge << juce::String::repeatedString (preset, 10000);
    EXPECT_TRUE (keptAsideAfterStart (huge + "</presets>"));
}

TEST_F (PresetStore, ForeignRootsAndOddValuesAreTakenAsTheyAre)
{
    writeFile ("<?xml version=\"1.0\"?>\n<settings active=\"-3\">\n<!-- a comment -->\n<preset name=\"x\" bpm=\"97.5\"/>"
               "text between<preset name=\"y\" bpm=\"fast\" gain=\"7\"><extra/></preset></settings>");
    {
        MetronomeProcessor engine (file);
        ASSERT_EQ (engine.getNumPrograms(), 2);
        EXPECT_EQ (engine.getCurrentProgram(), 0);

        engine.setCurrentProgram (0);
        EXPECT_EQ (engine.getBpm(), 97.5f);

        engine.setCurrentProgram (1);
        EXPECT_EQ (engine.getBpm(), 20.0f);
        EXPECT_EQ (engine.getGain(), 1.0f);
    }

    EXPECT_TRUE (readFile().contains ("<settings active=\"1\">"));
    EXPECT_TRUE (readFile().contains ("<extra/>"));
}

TEST_F (PresetStore, AnUnwritableLocationLosesNothingAndDoesNotCrash)
{
    // The directory cannot be created where a file stands in its way.
    ASSERT_TRUE (directory.getChildFile ("Orlavane").replaceWithText ("in the way"));

    {
        MetronomeProcessor engine (file);
        EXPECT_FALSE (engine.getPresetFile().isBehind()) << "nothing has been tried yet";
        engine.addPreset ("Lost?");
        EXPECT_EQ (engine.getNumPrograms(), 1);
        EXPECT_TRUE (engine.getPresetFile().isBehind()) << "the panel tells the musician from this";
    }

    EXPECT_EQ (directory.getChildFile ("Orlavane").loadFileAsString(), "in the way");

    // Once the way is clear, the next change catches up.
    directory.getChildFile ("Orlavane").deleteFile();
    {
        MetronomeProcessor engine (file);
        engine.addPreset ("Kept");
        EXPECT_FALSE (engine.getPresetFile().isBehind());
    }
    EXPECT_TRUE (readFile().contains ("name=\"Kept\""));
    file.getParentDirectory().getParentDirectory().deleteRecursively();

    // A directory where the file should be is neither read nor replaced.
    directory.getChildFile ("Orlavane").deleteFile();
    ASSERT_TRUE (file.getChildFile ("keep.txt").create());
    {
        MetronomeProcessor engine (file);
        EXPECT_EQ (engine.getNumPrograms(), 0);
        engine.addPreset ("P");
    }
    EXPECT_TRUE (file.getChildFile ("keep.txt").existsAsFile());
}

TEST_F (PresetStore, DefaultLocationIsBelowTheApplicationDataDirectory)
{
    EXPECT_EQ (PresetFile::getDefaultFile().getFullPathName(),
               juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getFullPathName()
                   + "/Orlavane/Tocksley/preset.dat");
}
