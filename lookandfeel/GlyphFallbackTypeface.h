#pragma once

#include <juce_graphics/juce_graphics.h>

#include <unordered_map>

/**
    A face that draws each character with the first of two faces that has ink
    for it: the panel's face for everything it has, a second face for the rest
    (musical symbols in preset names, say). The framework's faces on Linux fall
    back to nothing: a character the face lacks, or maps to an empty glyph, is
    drawn blank.

    Text that the first face covers is measured and drawn by it alone, exactly
    as without this wrapper. Glyph numbers of the second face are offset by
    fallbackGlyphOffset so that the two never meet.
*/
class GlyphFallbackTypeface : public juce::Typeface
{
public:
    static constexpr int fallbackGlyphOffset = 0x1000000;

    GlyphFallbackTypeface (juce::Typeface::Ptr primary, juce::Typeface::Ptr fallback);

    float getAscent() const override;
    float getDescent() const override;
    float getHeightToPointsFactor() const override;
    float getStringWidth (const juce::String& text) override;
    void getGlyphPositions (const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets) override;
    bool getOutlineForGlyph (int glyphNumber, juce::Path& path) override;
    juce::EdgeTable* getEdgeTableForGlyph (int glyphNumber, const juce::AffineTransform& transform, float fontHeight) override;
    bool isHinted() const override;

private:
    /** Whether the character is drawn by the fallback face: the primary face has no ink
        for it and the fallback has. Blanks, and what neither face has, stay primary. */
    bool isFromFallback (juce::juce_wchar);

    /** Calls back once for each stretch of the text that one face draws. */
    template <typename Callback>
    void forEachRun (const juce::String& text, Callback&& callback);

    juce::Typeface::Ptr primary, fallback;
    std::unordered_map<juce::juce_wchar, bool> fromFallback;
    juce::CriticalSection fromFallbackLock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GlyphFallbackTypeface)
};
