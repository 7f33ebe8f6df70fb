#include "GlyphFallbackTypeface.h"

namespace
{
    bool hasInkFor (juce::Typeface& face, juce::juce_wchar character)
    {
        juce::Array<int> glyphs;
        juce::Array<float> offsets;
        face.getGlyphPositions (juce::String::charToString (character), glyphs, offsets);

        // Some faces map what they lack to a hairline of no width rather than to nothing:
        // ink is a glyph with some breadth and some height (the heights count 1 per line).
        juce::Path outline;

        if (glyphs.size() != 1 || ! face.getOutlineForGlyph (glyphs[0], outline))
            return false;

        const auto bounds = outline.getBounds();
        return bounds.getWidth() > 0.02f && bounds.getHeight() > 0.02f;
    }
}

GlyphFallbackTypeface::GlyphFallbackTypeface (juce::Typeface::Ptr primaryFace, juce::Typeface::Ptr fallbackFace)
    : juce::Typeface (primaryFace->getName(), primaryFace->getStyle()),
      primary (std::move (primaryFace)),
      fallback (std::move (fallbackFace))
{
}

bool GlyphFallbackTypeface::isFromFallback (juce::juce_wchar character)
{
    // Plain letters and blanks are the primary face's without a look at its glyphs.
    if (character < 0x80)
        return false;

    const juce::ScopedLock lock (fromFallbackLock);

    if (const auto known = fromFallback.find (character); known != fromFallback.end())
        return known->second;

    const auto fromHere = ! hasInkFor (*primary, character) && hasInkFor (*fallback, character);
    fromFallback.emplace (character, fromHere);
    return fromHere;
}

float GlyphFallbackTypeface::getAscent() const                 { return primary->getAscent(); }
float GlyphFallbackTypeface::getDescent() const                { return primary->getDescent(); }
float GlyphFallbackTypeface::getHeightToPointsFactor() const   { return primary->getHeightToPointsFactor(); }
bool GlyphFallbackTypeface::isHinted() const                   { return primary->isHinted(); }

template <typename Callback>
void GlyphFallbackTypeface::forEachRun (const juce::String& text, Callback&& callback)
{
    auto runStart = text.getCharPointer();

    while (! runStart.isEmpty())
    {
        const bool useFallback = isFromFallback (*runStart);
        auto runEnd = runStart;

        while (! runEnd.isEmpty() && isFromFallback (*runEnd) == useFallback)
            ++runEnd;

        callback (juce::String (runStart, runEnd), useFallback);
        runStart = runEnd;
    }
}

float GlyphFallbackTypeface::getStringWidth (const juce::String& text)
{
    float width = 0.0f;

    forEachRun (text, [&] (const juce::String& run, bool useFallback)
    {
        width += (useFallback ? fallback : primary)->getStringWidth (run);
    });

    return width;
}

void GlyphFallbackTypeface::getGlyphPositions (const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets)
{
    xOffsets.add (0.0f);
    float x = 0.0f;

    forEachRun (text, [&] (const juce::String& run, bool useFallback)
    {
        juce::Array<int> runGlyphs;
        juce::Array<float> runOffsets;
        (useFallback ? fallback : primary)->getGlyphPositions (run, runGlyphs, runOffsets);

        for (int i = 0; i < runGlyphs.size(); ++i)
        {
            glyphs.add (useFallback ? runGlyphs[i] + fallbackGlyphOffset : runGlyphs[i]);
            xOffsets.add (x + runOffsets[i + 1]);
        }

        x += runOffsets.getLast();
    });
}

bool GlyphFallbackTypeface::getOutlineForGlyph (int glyphNumber, juce::Path& path)
{
    if (glyphNumber >= fallbackGlyphOffset)
        return fallback->getOutlineForGlyph (glyphNumber - fallbackGlyphOffset, path);

    return primary->getOutlineForGlyph (glyphNumber, path);
}

juce::EdgeTable* GlyphFallbackTypeface::getEdgeTableForGlyph (int glyphNumber, const juce::AffineTransform& transform,
                                                              float fontHeight)
{
    if (glyphNumber >= fallbackGlyphOffset)
        return fallback->getEdgeTableForGlyph (glyphNumber - fallbackGlyphOffset, transform, fontHeight);

    return primary->getEdgeTableForGlyph (glyphNumber, transform, fontHeight);
}
