#include "PresetFile.h"

namespace
{
    /** The deepest element nesting in an XML text, counting only real tags:
        quoted attribute values, comments, CDATA, declarations and processing
        instructions are passed over. Stops counting once past the limit. */
    int elementNesting (const juce::String& text, int limit)
    {
        auto p = text.getCharPointer();
        int depth = 0;
        int deepest = 0;

        const auto skipPast = [&p] (const char* terminator)
        {
            const auto found = juce::CharacterFunctions::indexOf (p, juce::CharPointer_ASCII (terminator));
            if (found < 0)
                p = p.findTerminatingNull();
            else
                p += found + (int) strlen (terminator);
        };

        while (! p.isEmpty() && deepest <= limit)
        {
            if (*p != '<')
            {
                ++p;
                continue;
            }

            if (p.compareUpTo (juce::CharPointer_ASCII ("<!--"), 4) == 0)        { skipPast ("-->"); continue; }
            if (p.compareUpTo (juce::CharPointer_ASCII ("<![CDATA["), 9) == 0)   { skipPast ("]]>"); continue; }
            if (p[1] == '?' || p[1] == '!')                                      { skipPast (">"); continue; }

            const bool closing = p[1] == '/';
            juce::juce_wchar quote = 0;
            juce::juce_wchar previous = 0;

            for (++p; ! p.isEmpty(); ++p)
            {
                const auto c = *p;

                if (quote != 0)
                {
                    if (c == quote)
                        quote = 0;
                }
                else if (c == '"' || c == '\'')
                {
                    quote = c;
                }
                else if (c == '>')
                {
                    ++p;
                    break;
                }

                previous = c;
            }

            if (closing)
                --depth;
            else if (previous != '/')
                deepest = juce::jmax (deepest, ++depth);
            else
                deepest = juce::jmax (deepest, depth + 1);
        }

        return deepest;
    }

    /** Text between elements has no place in a preset list. */
    void removeTextElements (juce::XmlElement& element)
    {
        element.deleteAllTextElements();

        for (auto* child : element.getChildIterator())
            removeTextElements (*child);
    }

    /** Doubles as "%.20g" writes them: 120 is "120", 0.7f is "0.69999998807907104492". */
    void formatNumbers (juce::XmlElement& element, const juce::ValueTree& tree)
    {
        for (int i = 0; i < tree.getNumProperties(); ++i)
        {
            const auto name = tree.getPropertyName (i);
            const auto& value = tree.getProperty (name);

            if (value.isDouble())
            {
                char text[40];
                std::snprintf (text, sizeof (text), "%.20g", (double) value);
                element.setAttribute (name, text);
            }
        }

        for (int i = 0; i < tree.getNumChildren(); ++i)
            if (auto* child = element.getChildElement (i))
                formatNumbers (*child, tree.getChild (i));
    }
}

PresetFile::PresetFile (juce::File f)
    : file (std::move (f))
{
}

PresetFile::~PresetFile()
{
    watched.removeListener (this);
}

void PresetFile::keepInStepWith (juce::ValueTree& presets)
{
    watched.removeListener (this);
    watched = presets;
    watched.addListener (this);
}

void PresetFile::saveWatched()
{
    save (watched);
}

juce::File PresetFile::getDefaultFile()
{
    return juce::File (juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getFullPathName()
                       + "/Orlavane/" + "Tocksley" + "/preset.dat");
}

juce::ValueTree PresetFile::parse (const juce::String& text)
{
    if (elementNesting (text, maxNesting) > maxNesting)
        return {};

    juce::XmlDocument document (text);
    document.setEmptyTextElementsIgnored (true);

    if (const auto root = document.getDocumentElement())
    {
        removeTextElements (*root);
        return juce::ValueTree::fromXml (*root);
    }

    return {};
}

juce::ValueTree PresetFile::load()
{
    const juce::ValueTree empty ("presets");

    if (file == juce::File() || ! file.existsAsFile())
        return empty;

    juce::ValueTree presets;

    if (file.getSize() <= maxFileBytes)
    {
        juce::FileInputStream in (file);

        if (in.openedOk())
            presets = parse (in.readEntireStreamAsString());
    }

    if (presets.isValid())
        return presets;

    // Keep the unreadable file for the musician; if it cannot be moved, never write over it.
    mayWrite = moveAside();
    return empty;
}

bool PresetFile::moveAside()
{
    for (int n = 1; n < 1000; ++n)
    {
        const auto candidate = file.getSiblingFile (file.getFileName() + ".bad" + (n > 1 ? juce::String (n) : juce::String()));

        if (! candidate.exists())
        {
            if (! file.moveFileTo (candidate))
                return false;

            keptAside = candidate;
            return true;
        }
    }

    return false;
}

std::unique_ptr<juce::XmlElement> PresetFile::toXml (const juce::ValueTree& presets)
{
    auto xml = presets.createXml();

    if (xml != nullptr)
        formatNumbers (*xml, presets);

    return xml;
}

bool PresetFile::save (const juce::ValueTree& presets) const
{
    if (file == juce::File() || ! mayWrite)
        return false;

    const auto xml = toXml (presets);

    if (xml == nullptr || ! file.getParentDirectory().createDirectory())
        return false;

    return xml->writeTo (file);
}
