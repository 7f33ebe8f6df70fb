#include "PresetFile.h"

#include <cctype>
#include <cstring>

namespace
{
    /** Strict UTF-8 without NUL: no overlong forms, surrogates or code points past
        U+10FFFF, which the framework would decode into something other than the
        bytes it keeps, so that what is written back would differ from what was read. */
    bool isStrictUtf8 (const unsigned char* bytes, size_t numBytes)
    {
        for (size_t i = 0; i < numBytes;)
        {
            const auto lead = bytes[i];

            if (lead == 0)
                return false;

            if (lead < 0x80)
            {
                ++i;
                continue;
            }

            const int length = lead >= 0xc2 && lead <= 0xdf ? 2 : lead >= 0xe0 && lead <= 0xef ? 3 : lead >= 0xf0 && lead <= 0xf4 ? 4 : 0;

            if (length == 0 || i + (size_t) length > numBytes)
                return false;

            for (int k = 1; k < length; ++k)
                if ((bytes[i + (size_t) k] & 0xc0) != 0x80)
                    return false;

            const auto second = bytes[i + 1];

            if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f)        // overlong, surrogates
                 || (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second > 0x8f))   // overlong, past U+10FFFF
                return false;

            i += (size_t) length;
        }

        return true;
    }

    /** Whether the framework's parser can be trusted with this markup: elements
        nested no deeper than the limit (the parser recurses once per level), no
        '<' inside a tag, no processing instruction after the first element (the
        parser loops for ever on one followed by text), no "<!" but comments and
        CDATA, and no '&' that does not open a reference. Reads bytes, since all markup is ASCII; passes over quoted
        attribute values, comments, CDATA and the XML declaration. */
    bool isSafeToParse (const char* text, int nestingLimit)
    {
        const char* p = text;
        int depth = 0;
        bool insideDocument = false;

        const auto skipPast = [&p] (const char* terminator)
        {
            const auto* found = std::strstr (p, terminator);
            p = found != nullptr ? found + std::strlen (terminator) : p + std::strlen (p);
        };

        // Every '&' must open a reference closed by ';': the parser reads past the
        // end of the text after one such as "&#xA" that the text ends in.
        const auto isReference = [] (const char* a)
        {
            for (int n = 1; n < 16; ++n)
            {
                if (a[n] == ';')
                    return n > 1;

                if (! std::isalnum ((unsigned char) a[n]) && a[n] != '#')
                    return false;
            }

            return false;
        };

        while (*p != 0)
        {
            if (*p == '&' && ! isReference (p))
                return false;

            if (*p != '<')
            {
                ++p;
                continue;
            }

            if (std::strncmp (p, "<!--", 4) == 0)        { skipPast ("-->"); continue; }
            if (std::strncmp (p, "<![CDATA[", 9) == 0)   { skipPast ("]]>"); continue; }
            if (p[1] == '?' && insideDocument)           return false;
            if (p[1] == '?')                             { skipPast ("?>"); continue; }
            if (p[1] == '!')                             return false;   // a document type, not used by preset files

            const bool closing = p[1] == '/';
            char quote = 0;
            char previous = 0;

            for (++p; *p != 0; ++p)
            {
                const auto c = *p;

                // Never well-formed, and where the parser and this scan could disagree on where a tag ends.
                if (c == '<' || (c == '&' && ! isReference (p)))
                    return false;

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

            insideDocument = true;

            if (closing)
                --depth;
            else if (previous != '/' && ++depth > nestingLimit)
                return false;
        }

        return true;
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

juce::ValueTree PresetFile::parse (const void* data, size_t numBytes)
{
    // The framework's text handling assumes valid UTF-8 and may read past the end of anything else.
    if (numBytes > (size_t) maxFileBytes || ! isStrictUtf8 (static_cast<const unsigned char*> (data), numBytes))
        return {};

    const auto text = juce::String::fromUTF8 (static_cast<const char*> (data), (int) numBytes);

    if (! isSafeToParse (text.toRawUTF8(), maxNesting))
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
        juce::MemoryBlock bytes;

        if (file.loadFileAsData (bytes))
            presets = parse (bytes.getData(), bytes.getSize());
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

bool PresetFile::save (const juce::ValueTree& presets)
{
    if (file == juce::File())
        return false;

    const auto xml = toXml (presets);

    behind = ! (mayWrite && xml != nullptr && file.getParentDirectory().createDirectory() && xml->writeTo (file));
    return ! behind;
}
