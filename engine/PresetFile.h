#pragma once

#include <juce_data_structures/juce_data_structures.h>

/**
    The XML file that holds the preset list.

    Nothing the musician stored is ever lost through it: a file that exists but
    cannot be read as a preset list is moved aside (preset.dat.bad, .bad2, ...)
    before anything is written, and if it cannot be moved the store never writes
    over it. Every save goes through a temporary file and a rename, so a crash
    leaves either the old file or the new one, never half of one.

    Numbers held as doubles are written with up to 20 significant digits, the
    rest of the layout is the framework's XML writer with its defaults.
*/
class PresetFile : private juce::ValueTree::Listener
{
public:
    /** A store on the given file; a default-constructed File keeps nothing. */
    explicit PresetFile (juce::File file);
    ~PresetFile() override;

    /** Saves the list after every change made to it from now on: an added or
        removed preset, a changed property, a new current preset. */
    void keepInStepWith (juce::ValueTree& presets);

    /** Orlavane/Tocksley/preset.dat below the user's application-data directory. */
    static juce::File getDefaultFile();

    /** Reads the list: empty for a missing file, and for one that cannot be
        parsed, which is moved aside first. */
    juce::ValueTree load();

    /** Writes the list, creating the directory if needed. False if nothing was written. */
    bool save (const juce::ValueTree& presets);

    /** True when the last save to a real file failed: what changed since lives only in memory. */
    bool isBehind() const noexcept                      { return behind; }

    /** The list parsed from a document's bytes; an invalid tree if they are not
        UTF-8, not well-formed XML, or nested deeper than a preset list can be. */
    static juce::ValueTree parse (const void* data, size_t numBytes);

    /** The list as the file holds it. */
    static std::unique_ptr<juce::XmlElement> toXml (const juce::ValueTree& presets);

    const juce::File& getFile() const noexcept          { return file; }

    /** Where an unreadable file was moved, if one was. */
    const juce::File& getKeptAsideFile() const noexcept { return keptAside; }

    static constexpr juce::int64 maxFileBytes = 16 * 1024 * 1024;
    static constexpr int maxNesting = 32;

private:
    bool moveAside();
    void saveWatched();

    void valueTreePropertyChanged (juce::ValueTree&, const juce::Identifier&) override   { saveWatched(); }
    void valueTreeChildAdded (juce::ValueTree&, juce::ValueTree&) override               { saveWatched(); }
    void valueTreeChildRemoved (juce::ValueTree&, juce::ValueTree&, int) override        { saveWatched(); }
    void valueTreeChildOrderChanged (juce::ValueTree&, int, int) override                { saveWatched(); }

    juce::File file;
    juce::ValueTree watched;
    juce::File keptAside;
    bool mayWrite = true;
    bool behind = false;
};
