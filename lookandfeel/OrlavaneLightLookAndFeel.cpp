#include "OrlavaneLightLookAndFeel.h"
#include "GlyphFallbackTypeface.h"

namespace
{
    const juce::Colour base { 0xff102030 };
    const juce::String calibri { "Calibri" };
    const juce::String consolas { "Consolas" };

    // The first family of the list that this machine has; with none of them, the
    // placeholder that lets the platform pick a face of the same kind.
    juce::String firstInstalled (const juce::StringArray& installed, std::initializer_list<const char*> families,
                                 const juce::String& placeholder)
    {
        for (auto* family : families)
            if (installed.contains (family))
                return family;

        return placeholder;
    }

    juce::Path plainRectangle (float x, float y, float w, float h)
    {
        juce::Path p;
        p.addRoundedRectangle (x, y, w, h, 0.0f, 0.0f, true, true, true, true);
        return p;
    }
}

OrlavaneLightLookAndFeel::OrlavaneLightLookAndFeel (float labelHeight, float buttonHeight)
    : labelFontHeight (labelHeight),
      buttonFontHeight (buttonHeight)
{
    namespace C = juce::Colours;

    // One look at the installed families serves both names.
    const auto installed = juce::Font::findAllTypefaceNames();
    sansSerifStandIn = firstInstalled (installed, { "Calibri", "Carlito", "DejaVu Sans", "Liberation Sans" },
                                       juce::Font::getDefaultSansSerifFontName());
    monospacedStandIn = firstInstalled (installed, { "Consolas", "DejaVu Sans Mono", "Liberation Mono" },
                                        juce::Font::getDefaultMonospacedFontName());

    setDefaultSansSerifTypefaceName (calibri);
    fallbackFamily = installed.contains ("DejaVu Sans") ? juce::String ("DejaVu Sans") : juce::String();

    setColour (tabBackgroundColourId, base);
    setColour (juce::AlertWindow::backgroundColourId, base);
    setColour (juce::AlertWindow::outlineColourId, C::orange);
    setColour (juce::AlertWindow::textColourId, C::white);
    setColour (juce::TextButton::buttonColourId, base.brighter (0.2f));
    setColour (juce::TextButton::buttonOnColourId, base.brighter (0.2f));
    setColour (juce::TextButton::textColourOnId, C::black);
    setColour (juce::TextButton::textColourOffId, C::white);
    setColour (juce::ToggleButton::textColourId, C::cyan);
    setColour (juce::ListBox::outlineColourId, C::orange);
    setColour (juce::ListBox::backgroundColourId, base.brighter (0.2f));
    setColour (juce::ListBox::textColourId, C::white);
    setColour (juce::ComboBox::outlineColourId, C::orange);
    setColour (juce::ComboBox::backgroundColourId, base.brighter (0.2f));
    setColour (juce::ComboBox::textColourId, C::white);
    setColour (juce::ComboBox::buttonColourId, C::orange);
    setColour (juce::ComboBox::arrowColourId, C::chocolate);
    setColour (juce::ScrollBar::trackColourId, C::darkorange);
    setColour (juce::ScrollBar::thumbColourId, juce::Colour (0xffbbbbdd));
    setColour (juce::ScrollBar::backgroundColourId, base.darker (0.4f));
    setColour (juce::Slider::thumbColourId, C::cyan);
    setColour (juce::Slider::trackColourId, juce::Colour (0x7f000000));
    setColour (juce::Slider::textBoxOutlineColourId, C::lightgrey);
    setColour (juce::Slider::rotarySliderFillColourId, C::cyan);
    setColour (juce::Slider::rotarySliderOutlineColourId, C::darkorange);
    setColour (juce::Slider::textBoxBackgroundColourId, base);
    setColour (juce::Slider::textBoxTextColourId, C::cyan);
    setColour (juce::ProgressBar::backgroundColourId, C::white.withAlpha (0.6f));
    // Green at alpha 0.7: withAlpha rounds 178.5 down to 0xb2; the scheme's value is 0xb3.
    setColour (juce::ProgressBar::foregroundColourId, juce::Colour (0xb3008000));
    setColour (juce::PopupMenu::backgroundColourId, juce::Colour (0xffeef5f8));
    setColour (juce::PopupMenu::highlightedBackgroundColourId, juce::Colour (0xbfa4c2ce));
    setColour (juce::PopupMenu::highlightedTextColourId, base);
    setColour (juce::TextEditor::focusedOutlineColourId, findColour (juce::TextButton::buttonColourId));
    setColour (juce::TextEditor::highlightColourId, C::white);
    setColour (juce::TextEditor::textColourId, C::white);
    setColour (juce::TextEditor::backgroundColourId, base.brighter (0.4f));
    setColour (juce::Label::textColourId, C::white);
}

OrlavaneLightLookAndFeel::~OrlavaneLightLookAndFeel() = default;

//==============================================================================
juce::Font OrlavaneLightLookAndFeel::getTextButtonFont (juce::TextButton&, int buttonHeight)
{
    return juce::Font (juce::jmin (buttonFontHeight, (float) buttonHeight * 0.8f));
}

void OrlavaneLightLookAndFeel::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button,
                                                 bool isMouseOverButton, bool /*isButtonDown*/)
{
    // The switches are flat push buttons; their colours come from this table only, so a
    // colour set on a button cannot turn a switch into something that reads differently.
    const auto w = (float) button.getWidth();
    const auto h = (float) button.getHeight();

    auto face = findColour (juce::TextButton::buttonColourId);

    if (isMouseOverButton)
        face = face.brighter (0.2f);

    g.setGradientFill (juce::ColourGradient (face.brighter (0.2f), 0.0f, 0.0f,
                                             face.darker (0.25f), 0.0f, h, false));
    g.fillPath (plainRectangle (1.0f, 1.0f, w - 2.0f, h - 2.0f));

    auto captionColour = findColour (juce::ToggleButton::textColourId);

    if (button.getToggleState())
    {
        g.setGradientFill (juce::ColourGradient (juce::Colours::white, w * 0.5f, h * 0.5f,
                                                 juce::Colours::orange, w, h, true));
        g.fillPath (plainRectangle (4.0f, 4.0f, w - 8.0f, h - 8.0f));
        captionColour = findColour (juce::TextButton::textColourOnId).darker (0.9f);
    }

    g.setColour (captionColour);
    g.setFont (juce::Font (juce::jmin (buttonFontHeight, h * 0.6f)));
    g.drawText (button.getButtonText(), 0, 0, button.getWidth(), button.getHeight(),
                juce::Justification::centred, false);
}

void OrlavaneLightLookAndFeel::drawTickBox (juce::Graphics& g, juce::Component&,
                                            float x, float y, float w, float h,
                                            bool ticked, bool isEnabled,
                                            bool /*isMouseOverButton*/, bool isButtonDown)
{
    juce::Path box;
    box.addRoundedRectangle (0.0f, 2.0f, 6.0f, 6.0f, 1.0f, 1.0f, true, true, true, true);

    const auto toBox = juce::AffineTransform::scale (w / 9.0f, h / 9.0f).translated (x, y);

    g.setColour (isEnabled ? juce::Colours::blue.withAlpha (isButtonDown ? 0.3f : 0.1f)
                           : juce::Colours::lightgrey.withAlpha (0.1f));
    g.fillPath (box, toBox);

    g.setColour (juce::Colours::white.withAlpha (0.6f));
    g.strokePath (box, juce::PathStrokeType (0.9f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt), toBox);

    if (ticked && isEnabled)
    {
        g.setColour (juce::Colours::orange);
        g.fillPath (box, toBox);
    }
}

juce::Font OrlavaneLightLookAndFeel::getLabelFont (juce::Label& label)
{
    auto font = label.getFont();

    if (font.getHeight() < labelFontHeight)
        font.setHeight (labelFontHeight);

    return font;
}

//==============================================================================
void OrlavaneLightLookAndFeel::drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height,
                                                      float sliderPos, float minSliderPos, float maxSliderPos,
                                                      juce::Slider::SliderStyle style, juce::Slider& slider)
{
    using S = juce::Slider;

    const auto r = (float) (getSliderThumbRadius (slider) - 2);
    const auto enabled = slider.isEnabled();

    auto knob = slider.findColour (S::thumbColourId)
                      .withMultipliedSaturation (slider.hasKeyboardFocus (false) && enabled ? 1.3f : 0.9f);

    if (slider.isMouseButtonDown() && enabled)
        knob = knob.contrasting (0.2f);
    else if (slider.isMouseOverOrDragging() && enabled)
        knob = knob.contrasting (0.1f);

    const auto outline = enabled ? 0.8f : 0.3f;
    const auto fx = (float) x, fy = (float) y, fw = (float) width, fh = (float) height;

    if (style == S::LinearHorizontal || style == S::LinearVertical)
    {
        const auto cx = style == S::LinearHorizontal ? sliderPos : fx + fw * 0.5f;
        const auto cy = style == S::LinearHorizontal ? fy + fh * 0.5f : sliderPos;
        fillOutlinedRectangle (g, knob, cx - r, cy - r * 0.5f, 2.0f * r, r, juce::Colours::silver);
        return;
    }

    if (style == S::ThreeValueVertical)
        drawGlassSphere (g, fx + fw * 0.5f - r, sliderPos - r, 2.0f * r, knob, outline);
    else if (style == S::ThreeValueHorizontal)
        drawGlassSphere (g, sliderPos - r, fy + fh * 0.5f - r, 2.0f * r, knob, outline);

    if (style == S::TwoValueVertical || style == S::ThreeValueVertical)
    {
        const auto sr = juce::jmin (r, fw * 0.4f);
        drawGlassPointer (g, juce::jmax (0.0f, fx + fw * 0.5f - 2.0f * r), minSliderPos - r,
                          2.0f * r, knob, outline, 1);
        drawGlassPointer (g, juce::jmin (fx + fw - 2.0f * r, fx + fw * 0.5f), maxSliderPos - sr,
                          2.0f * r, knob, outline, 3);
    }
    else if (style == S::TwoValueHorizontal || style == S::ThreeValueHorizontal)
    {
        const auto sr = juce::jmin (r, fh * 0.4f);
        drawGlassPointer (g, minSliderPos - sr, juce::jmax (0.0f, fy + fh * 0.5f - 2.0f * r),
                          2.0f * r, knob, outline, 2);
        drawGlassPointer (g, maxSliderPos - r, juce::jmin (fy + fh - 2.0f * r, fy + fh * 0.5f),
                          2.0f * r, knob, outline, 4);
    }
}

void OrlavaneLightLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                                 float sliderPosProportional, float rotaryStartAngle,
                                                 float rotaryEndAngle, juce::Slider& slider)
{
    const juce::Colour disabledGrey (0x80808080);

    const auto radius = (float) juce::jmin (width / 2, height / 2) - 2.0f;
    const auto cx = (float) x + (float) width * 0.5f;
    const auto cy = (float) y + (float) height * 0.5f;
    const auto rw = radius * 2.0f;
    const auto angle = rotaryStartAngle + sliderPosProportional * (rotaryEndAngle - rotaryStartAngle);
    const auto enabled = slider.isEnabled();
    const auto over = slider.isMouseOverOrDragging() && enabled;
    const auto toKnob = juce::AffineTransform::rotation (angle).translated (cx, cy);

    g.setColour (enabled ? slider.findColour (juce::Slider::rotarySliderFillColourId).withAlpha (over ? 1.0f : 0.7f)
                         : disabledGrey);

    if (radius > 12.0f)
    {
        const auto ir = radius * 0.2f;

        juce::Path pointer;
        pointer.addTriangle (-ir, 0.0f, 0.0f, -radius * 0.7f * 1.3f, ir, 0.0f);
        pointer.addEllipse (-ir, -ir, ir * 2.0f, ir * 2.0f);
        g.fillPath (pointer, toKnob);

        // Only the ring is drawn: the value shows through the pointer's angle alone.
        juce::Path ring;
        ring.addPieSegment (cx - radius, cy - radius, rw, rw, rotaryStartAngle, rotaryEndAngle, 0.7f);
        ring.closeSubPath();

        g.setColour (enabled ? slider.findColour (juce::Slider::rotarySliderOutlineColourId) : disabledGrey);
        g.strokePath (ring, juce::PathStrokeType (enabled ? (over ? 2.0f : 1.2f) : 0.3f));
    }
    else
    {
        juce::Path knob;
        knob.addEllipse (-0.4f * rw, -0.4f * rw, 0.8f * rw, 0.8f * rw);
        juce::PathStrokeType (rw * 0.1f).createStrokedPath (knob, knob);
        knob.addLineSegment (juce::Line<float> (0.0f, 0.0f, 0.0f, -radius), rw * 0.2f);
        g.fillPath (knob, toKnob);
    }
}

juce::Label* OrlavaneLightLookAndFeel::createSliderTextBox (juce::Slider& slider)
{
    using S = juce::Slider;

    const auto isBar = slider.getSliderStyle() == S::LinearBar || slider.getSliderStyle() == S::LinearBarVertical;
    const auto text = slider.findColour (S::textBoxTextColourId);
    const auto background = slider.findColour (S::textBoxBackgroundColourId);
    const auto outline = slider.findColour (S::textBoxOutlineColourId);

    auto* box = new juce::Label();
    box->setFont (juce::Font (10.0f));
    box->setJustificationType (juce::Justification::centred);
    box->setColour (juce::Label::textColourId, text);
    box->setColour (juce::Label::backgroundColourId, isBar ? juce::Colours::transparentBlack : background);
    box->setColour (juce::Label::outlineColourId, outline);
    box->setColour (juce::TextEditor::textColourId, text);
    box->setColour (juce::TextEditor::backgroundColourId, background.withAlpha (isBar ? 0.7f : 1.0f));
    box->setColour (juce::TextEditor::outlineColourId, outline);
    return box;
}

void OrlavaneLightLookAndFeel::fillOutlinedRectangle (juce::Graphics& g, juce::Colour fill,
                                                      float x, float y, float w, float h,
                                                      juce::Colour outline)
{
    juce::Path p;
    p.addRectangle (x, y, w, h);

    g.setColour (fill);
    g.fillPath (p);

    g.setColour (outline);
    g.strokePath (p, juce::PathStrokeType (2.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));
}

//==============================================================================
int OrlavaneLightLookAndFeel::getTabButtonBestWidth (juce::TabBarButton&, int)
{
    return 120;
}

juce::Colour OrlavaneLightLookAndFeel::tabBaseColour (juce::TabBarButton& button)
{
    auto c = button.findColour (tabBackgroundColourId).contrasting (0.15f);

    // Yellow at alpha 0.5: withAlpha rounds 127.5 up, which tints one step redder
    // than the scheme's front tab 0xff99a027.
    if (button.getToggleState())
        c = c.overlaidWith (juce::Colour (0x7fffff00));

    return c;
}

void OrlavaneLightLookAndFeel::drawTabButton (juce::TabBarButton& button, juce::Graphics& g,
                                              bool isMouseOver, bool isMouseDown)
{
    const auto area = button.getActiveArea();
    const auto bkg = tabBaseColour (button);

    g.setGradientFill (juce::ColourGradient (bkg.brighter (0.1f), 0.0f, (float) area.getY(),
                                             bkg.darker (0.1f), 0.0f, (float) area.getBottom(), false));
    g.fillRect (area);

    g.setColour (button.findColour (tabBackgroundColourId).darker (0.3f));
    g.drawRect (area.toFloat(), 1.0f);

    const auto alpha = button.isEnabled() ? (isMouseOver || isMouseDown ? 1.0f : 0.8f) : 0.3f;
    const auto textColour = bkg.contrasting (1.0f).withMultipliedAlpha (alpha);

    juce::Font font ((float) area.getHeight() * 0.5f);
    font.setUnderline (button.hasKeyboardFocus (false));

    juce::AttributedString caption;
    caption.setJustification (juce::Justification::centred);
    caption.append (button.getButtonText().trim(), font, textColour);

    juce::TextLayout layout;
    layout.createLayout (caption, (float) area.getWidth());
    layout.draw (g, button.getTextArea().toFloat());
}

void OrlavaneLightLookAndFeel::drawTabAreaBehindFrontButton (juce::TabbedButtonBar&, juce::Graphics&, int, int)
{
}

//==============================================================================
void OrlavaneLightLookAndFeel::drawGroupComponentOutline (juce::Graphics& g, int width, int height,
                                                          const juce::String& text,
                                                          const juce::Justification& position,
                                                          juce::GroupComponent& group)
{
    using juce::MathConstants;

    const auto textH = labelFontHeight;
    const juce::Font f (textH);

    const auto x = 3.0f;
    const auto y = f.getAscent() - 3.0f;
    const auto w = juce::jmax (0.0f, (float) width - 6.0f);
    const auto h = juce::jmax (0.0f, (float) height - y - 3.0f);
    const auto cs = juce::jmin (5.0f, w * 0.5f, h * 0.5f);
    const auto cs2 = cs * 2.0f;

    const auto textW = text.isEmpty() ? 0.0f
                                      : juce::jlimit (0.0f, juce::jmax (0.0f, w - cs2 - 8.0f),
                                                      (float) f.getStringWidth (text) + 8.0f);
    auto textX = cs + 4.0f;

    if (position.testFlags (juce::Justification::horizontallyCentred))
        textX = cs + (w - cs2 - textW) * 0.5f;
    else if (position.testFlags (juce::Justification::right))
        textX = w - cs - textW - 4.0f;

    juce::Path p;
    p.startNewSubPath (x + textX + textW, y);
    p.lineTo (x + w - cs, y);
    p.addCentredArc (x + w - cs, y + cs, cs, cs, 0.0f, 0.0f, MathConstants<float>::halfPi);
    p.lineTo (x + w, y + h - cs);
    p.addCentredArc (x + w - cs, y + h - cs, cs, cs, 0.0f, MathConstants<float>::halfPi, MathConstants<float>::pi);
    p.lineTo (x + cs, y + h);
    p.addCentredArc (x + cs, y + h - cs, cs, cs, 0.0f, MathConstants<float>::pi, MathConstants<float>::pi * 1.5f);
    p.lineTo (x, y + cs);
    p.addCentredArc (x + cs, y + cs, cs, cs, 0.0f, MathConstants<float>::pi * 1.5f, MathConstants<float>::twoPi);
    p.lineTo (x + textX, y);

    const auto alpha = group.isEnabled() ? 1.0f : 0.5f;

    g.setColour (group.findColour (juce::GroupComponent::outlineColourId).withMultipliedAlpha (alpha));
    g.strokePath (p, juce::PathStrokeType (2.0f));

    g.setColour (group.findColour (juce::GroupComponent::textColourId).withMultipliedAlpha (alpha));
    g.setFont (f);
    g.drawText (text, juce::roundToInt (x + textX), 0, juce::roundToInt (textW), juce::roundToInt (textH),
                juce::Justification::centred, true);
}

//==============================================================================
juce::String OrlavaneLightLookAndFeel::installedFaceFor (const juce::String& typefaceName) const
{
    if (typefaceName == calibri)   return sansSerifStandIn;
    if (typefaceName == consolas)  return monospacedStandIn;

    return typefaceName;
}

juce::Typeface::Ptr OrlavaneLightLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    const auto requested = font.getTypefaceName() == juce::Font::getDefaultSansSerifFontName()
                               ? calibri
                               : font.getTypefaceName();

    juce::Font resolved (font);
    resolved.setTypefaceName (installedFaceFor (requested));
    auto face = juce::Font::getDefaultTypefaceForFont (resolved);

    if (fallbackFamily.isEmpty() || face == nullptr || face->getName() == fallbackFamily)
        return face;

    // Characters the face lacks (a musical symbol in a preset name) come from the fallback family.
    juce::Font fallbackFont (resolved);
    fallbackFont.setTypefaceName (fallbackFamily);
    fallbackFont.setTypefaceStyle (fallbackStyleFor (face->getStyle()));
    auto fallback = juce::Font::getDefaultTypefaceForFont (fallbackFont);

    if (fallback == nullptr)
        return face;

    return new GlyphFallbackTypeface (face, fallback);
}

juce::String OrlavaneLightLookAndFeel::fallbackStyleFor (const juce::String& style) const
{
    // DejaVu names its upright face "Book" and its slanted ones "Oblique".
    const auto styles = juce::Font::findAllTypefaceStyles (fallbackFamily);

    for (const auto& candidate : { style, style.replace ("Italic", "Oblique"), style.replace ("Regular", "Book") })
        if (styles.contains (candidate, true))
            return candidate;

    return styles.contains ("Book") ? juce::String ("Book") : styles[0];
}
