#include "lookandfeel/OrlavaneLightLookAndFeel.h"
#include "app/MetronomeProcessorEditor.h"
#include "engine/MetronomeProcessor.h"

#include <gtest/gtest.h>

// The application's look, checked on rendered pixels: what a wrong colour, a wrong
// size or a missing face would change, not every pixel.

namespace
{
    using LF = OrlavaneLightLookAndFeel;

    // Fonts are looked up through the default look and feel only, so each test installs it.
    class LookAndFeelTest : public ::testing::Test
    {
    protected:
        LookAndFeelTest()
        {
            juce::LookAndFeel::setDefaultLookAndFeel (&lf);
            juce::Typeface::clearTypefaceCache();
        }

        ~LookAndFeelTest() override
        {
            juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
            juce::Typeface::clearTypefaceCache();
        }

        LF lf { 15.0f, 18.0f };
    };

    juce::Image blankImage (int w, int h, juce::Colour background = juce::Colours::transparentBlack)
    {
        juce::Image image (juce::Image::ARGB, w, h, true);
        juce::Graphics (image).fillAll (background);
        return image;
    }

    template <typename DrawFunction>
    juce::Image render (int w, int h, DrawFunction&& draw, juce::Colour background = juce::Colours::transparentBlack)
    {
        auto image = blankImage (w, h, background);
        juce::Graphics g (image);
        draw (g);
        return image;
    }

    bool near (juce::Colour a, juce::Colour b, int tolerance = 2)
    {
        return std::abs (a.getRed() - b.getRed()) <= tolerance
            && std::abs (a.getGreen() - b.getGreen()) <= tolerance
            && std::abs (a.getBlue() - b.getBlue()) <= tolerance
            && std::abs (a.getAlpha() - b.getAlpha()) <= tolerance;
    }

    ::testing::AssertionResult pixelIs (const juce::Image& image, int x, int y, juce::Colour expected, int tolerance = 2)
    {
        const auto actual = image.getPixelAt (x, y);

        if (near (actual, expected, tolerance))
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                             << actual.toDisplayString (true) << ", expected "
                                             << expected.toDisplayString (true);
    }

    template <typename Predicate>
    int countPixels (const juce::Image& image, juce::Rectangle<int> area, Predicate&& predicate)
    {
        int count = 0;

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                count += predicate (image.getPixelAt (x, y)) ? 1 : 0;

        return count;
    }

    // The smallest rectangle holding every pixel that the predicate accepts.
    template <typename Predicate>
    juce::Rectangle<int> inkBounds (const juce::Image& image, Predicate&& predicate)
    {
        juce::Rectangle<int> bounds;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (predicate (image.getPixelAt (x, y)))
                    bounds = bounds.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1)
                                              : bounds.getUnion ({ x, y, 1, 1 });

        return bounds;
    }

    bool isOpaque (juce::Colour c)     { return c.getAlpha() > 127; }
    bool isSolid (juce::Colour c)      { return c.getAlpha() > 160; }
    bool isCyanInk (juce::Colour c)    { return c.getGreen() > 150 && c.getBlue() > 150 && c.getRed() < 100; }
    bool isBlackInk (juce::Colour c)   { return c.getAlpha() > 200 && c.getBrightness() < 0.15f; }
    bool isOrangeInk (juce::Colour c)  { return c.getAlpha() > 100 && c.getRed() > 200 && c.getGreen() > 80 && c.getBlue() < 60; }
}

//==============================================================================
TEST_F (LookAndFeelTest, ColourTableHoldsTheSchemeInItsFinalValues)
{
    const std::pair<int, juce::uint32> table[] = {
        { LF::tabBackgroundColourId, 0xff102030 },
        { juce::AlertWindow::backgroundColourId, 0xff102030 },
        { juce::AlertWindow::outlineColourId, 0xffffa500 },
        { juce::AlertWindow::textColourId, 0xffffffff },
        { juce::TextButton::buttonColourId, 0xff374552 },
        { juce::TextButton::buttonOnColourId, 0xff374552 },
        { juce::TextButton::textColourOnId, 0xff000000 },
        { juce::TextButton::textColourOffId, 0xffffffff },
        { juce::ToggleButton::textColourId, 0xff00ffff },
        { juce::ListBox::outlineColourId, 0xffffa500 },
        { juce::ListBox::backgroundColourId, 0xff374552 },
        { juce::ListBox::textColourId, 0xffffffff },
        { juce::ComboBox::outlineColourId, 0xffffa500 },
        { juce::ComboBox::backgroundColourId, 0xff374552 },
        { juce::ComboBox::textColourId, 0xffffffff },
        { juce::ComboBox::buttonColourId, 0xffffa500 },
        { juce::ComboBox::arrowColourId, 0xffd2691e },
        { juce::ScrollBar::trackColourId, 0xffff8c00 },
        { juce::ScrollBar::thumbColourId, 0xffbbbbdd },
        { juce::ScrollBar::backgroundColourId, 0xff0b1622 },
        { juce::Slider::thumbColourId, 0xff00ffff },
        { juce::Slider::trackColourId, 0x7f000000 },
        { juce::Slider::textBoxOutlineColourId, 0xffd3d3d3 },
        { juce::Slider::rotarySliderFillColourId, 0xff00ffff },
        { juce::Slider::rotarySliderOutlineColourId, 0xffff8c00 },
        { juce::Slider::textBoxBackgroundColourId, 0xff102030 },
        { juce::Slider::textBoxTextColourId, 0xff00ffff },
        { juce::ProgressBar::backgroundColourId, 0x99ffffff },
        { juce::ProgressBar::foregroundColourId, 0xb3008000 },
        { juce::PopupMenu::backgroundColourId, 0xffeef5f8 },
        { juce::PopupMenu::highlightedBackgroundColourId, 0xbfa4c2ce },
        { juce::PopupMenu::highlightedTextColourId, 0xff102030 },
        { juce::TextEditor::focusedOutlineColourId, 0xff374552 },
        { juce::TextEditor::highlightColourId, 0xffffffff },
        { juce::TextEditor::textColourId, 0xffffffff },
        { juce::TextEditor::backgroundColourId, 0xff545f6b },
        { juce::Label::textColourId, 0xffffffff },
    };

    for (auto [id, argb] : table)
        EXPECT_EQ (lf.findColour (id).getARGB(), argb) << "colour id 0x" << juce::String::toHexString (id);

    // The focused outline was copied from the button colour, not linked to it.
    lf.setColour (juce::TextButton::buttonColourId, juce::Colours::red);
    EXPECT_EQ (lf.findColour (juce::TextEditor::focusedOutlineColourId).getARGB(), 0xff374552u);

    // A colour the table leaves alone keeps the base look's value.
    juce::LookAndFeel_V3 v3;
    EXPECT_EQ (lf.findColour (juce::TextEditor::outlineColourId), v3.findColour (juce::TextEditor::outlineColourId));
}

TEST_F (LookAndFeelTest, ComponentsResolveTheSchemeUnlessTheyCarryTheirOwnColour)
{
    juce::TabbedButtonBar bar (juce::TabbedButtonBar::TabsAtTop);
    bar.addTab ("One", juce::Colours::red, -1);
    EXPECT_EQ (bar.getTabButton (0)->findColour (LF::tabBackgroundColourId).getARGB(), 0xff102030u);

    juce::Label label;
    EXPECT_EQ (label.findColour (juce::Label::textColourId).getARGB(), 0xffffffffu);
    label.setColour (juce::Label::textColourId, juce::Colours::yellow);
    EXPECT_EQ (label.findColour (juce::Label::textColourId).getARGB(), 0xffffff00u);
}

//==============================================================================
TEST_F (LookAndFeelTest, NamedFacesResolveToInstalledStandInsAndDrawInk)
{
    const juce::Font sans (20.0f);
    const juce::Font mono ("Consolas", 20.0f, juce::Font::bold);

    const auto installed = juce::Font::findAllTypefaceNames();
    const auto sansFace = sans.getTypefacePtr()->getName();
    const auto monoFace = mono.getTypefacePtr()->getName();

    EXPECT_TRUE (installed.contains (sansFace)) << sansFace;
    EXPECT_TRUE (installed.contains (monoFace)) << monoFace;
    EXPECT_TRUE (sansFace == "Calibri" || sansFace == "Carlito" || ! installed.contains ("Carlito")) << sansFace;
    EXPECT_NE (sansFace, monoFace);
    EXPECT_EQ (mono.getTypefacePtr()->getStyle(), "Bold");

    // The names the program uses are kept; only the face that draws them changes.
    EXPECT_EQ (mono.getTypefaceName(), "Consolas");

    // Every character of a monospaced face is equally wide; a sans-serif fallback fails this.
    EXPECT_FLOAT_EQ (mono.getStringWidthFloat ("iiii"), mono.getStringWidthFloat ("WWWW"));

    for (const auto& font : { sans, mono })
    {
        const auto image = render (200, 40, [&] (juce::Graphics& g)
        {
            g.setColour (juce::Colours::white);
            g.setFont (font);
            g.drawText ("Tempo 120", 0, 0, 200, 40, juce::Justification::centredLeft, false);
        });

        EXPECT_GT (countPixels (image, image.getBounds(), isOpaque), 40) << font.getTypefaceName();
        EXPECT_GT (font.getStringWidth ("Tempo 120"), 40);
    }
}

TEST_F (LookAndFeelTest, FontHeightRules)
{
    juce::TextButton button;
    EXPECT_FLOAT_EQ (lf.getTextButtonFont (button, 20).getHeight(), 16.0f);
    EXPECT_FLOAT_EQ (lf.getTextButtonFont (button, 22).getHeight(), 17.6f);
    EXPECT_FLOAT_EQ (lf.getTextButtonFont (button, 40).getHeight(), 18.0f);

    juce::Label label;
    label.setFont (juce::Font (12.0f));
    EXPECT_FLOAT_EQ (lf.getLabelFont (label).getHeight(), 15.0f);

    label.setFont (juce::Font (36.0f));
    EXPECT_FLOAT_EQ (lf.getLabelFont (label).getHeight(), 36.0f);

    label.setFont (juce::Font ("Consolas", 10.0f, juce::Font::bold | juce::Font::italic));
    const auto raised = lf.getLabelFont (label);
    EXPECT_FLOAT_EQ (raised.getHeight(), 15.0f);
    EXPECT_TRUE (raised.isBold());
    EXPECT_TRUE (raised.isItalic());
    EXPECT_EQ (raised.getTypefaceName(), "Consolas");
}

//==============================================================================
TEST_F (LookAndFeelTest, ToggleButtonFaceIsAFlatGradientInTheTablesButtonColour)
{
    juce::ToggleButton button;
    button.setSize (100, 40);

    auto face = [&] (bool over)
    {
        return render (100, 40, [&] (juce::Graphics& g) { lf.drawToggleButton (g, button, over, false); });
    };

    // The gradient runs from (0, 0) to (0, h); row 20 sits half-way.
    auto expectFace = [] (const juce::Image& image, juce::Colour top, juce::Colour bottom)
    {
        EXPECT_TRUE (pixelIs (image, 50, 20, top.interpolatedWith (bottom, 20.5f / 40.0f)));
        EXPECT_TRUE (pixelIs (image, 50, 1, top.interpolatedWith (bottom, 1.5f / 40.0f)));
        EXPECT_TRUE (pixelIs (image, 50, 38, top.interpolatedWith (bottom, 38.5f / 40.0f)));
        EXPECT_EQ (image.getPixelAt (0, 20).getAlpha(), 0) << "the face is inset by one pixel";
        EXPECT_EQ (image.getPixelAt (50, 39).getAlpha(), 0);
    };

    expectFace (face (false), juce::Colour (0xff58646e), juce::Colour (0xff2c3741));
    expectFace (face (true), juce::Colour (0xff737d86), juce::Colour (0xff465058));

    // Neither the button's own colours, nor being disabled or pressed, change the switch.
    button.setColour (juce::TextButton::buttonColourId, juce::Colours::red);
    button.setEnabled (false);
    const auto plain = face (false);
    const auto pressed = render (100, 40, [&] (juce::Graphics& g) { lf.drawToggleButton (g, button, false, true); });
    expectFace (plain, juce::Colour (0xff58646e), juce::Colour (0xff2c3741));

    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ (plain.getPixelAt (x, y), pressed.getPixelAt (x, y)) << x << ", " << y;
}

TEST_F (LookAndFeelTest, ToggleButtonGlowsWhenOnAndItsCaptionTurnsBlack)
{
    juce::ToggleButton button;
    button.setSize (100, 40);

    const auto glow = render (100, 40, [&] (juce::Graphics& g)
    {
        button.setToggleState (true, juce::dontSendNotification);
        lf.drawToggleButton (g, button, false, false);
    });

    EXPECT_TRUE (pixelIs (glow, 50, 20, juce::Colours::white, 8)) << "white at the centre of the glow";
    EXPECT_TRUE (isOrangeInk (glow.getPixelAt (95, 35))) << glow.getPixelAt (95, 35).toDisplayString (true);
    EXPECT_TRUE (pixelIs (glow, 2, 20, juce::Colour (0xff58646e).interpolatedWith (juce::Colour (0xff2c3741), 20.5f / 40.0f)))
        << "the glow leaves a three-pixel rim of the face";

    button.setButtonText ("ACCENT");
    button.setColour (juce::ToggleButton::textColourId, juce::Colours::red);

    const auto on = render (100, 40, [&] (juce::Graphics& g) { lf.drawToggleButton (g, button, false, false); });
    EXPECT_GT (countPixels (on, on.getBounds(), isBlackInk), 20);
    EXPECT_EQ (countPixels (on, on.getBounds(), isCyanInk), 0);

    button.setToggleState (false, juce::dontSendNotification);
    const auto off = render (100, 40, [&] (juce::Graphics& g) { lf.drawToggleButton (g, button, false, false); });
    EXPECT_GT (countPixels (off, off.getBounds(), isCyanInk), 20) << "cyan from the table, not the button's red";
    EXPECT_EQ (countPixels (off, off.getBounds(), isBlackInk), 0);
}

TEST_F (LookAndFeelTest, ToggleCaptionHeightIsCappedAtTheButtonFontHeight)
{
    // The switch with its caption must equal the bare face with text drawn at min (18, 0.6 h).
    for (const int h : { 10, 30, 40, 80 })
    {
        juce::ToggleButton button ("Hx");
        button.setSize (120, h);

        const auto drawn = render (120, h, [&] (juce::Graphics& g) { lf.drawToggleButton (g, button, false, false); });

        button.setButtonText ({});
        const auto reference = render (120, h, [&] (juce::Graphics& g)
        {
            lf.drawToggleButton (g, button, false, false);
            g.setColour (juce::Colours::cyan);
            g.setFont (juce::Font (juce::jmin (18.0f, 0.6f * (float) h)));
            g.drawText ("Hx", 0, 0, 120, h, juce::Justification::centred, false);
        });

        EXPECT_GT (countPixels (drawn, drawn.getBounds(), isCyanInk), 4) << "height " << h;

        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 120; ++x)
                ASSERT_EQ (drawn.getPixelAt (x, y), reference.getPixelAt (x, y)) << "height " << h << " at " << x << ", " << y;
    }
}

TEST_F (LookAndFeelTest, TickBoxesFillOrangeOnlyWhenTickedAndEnabled)
{
    juce::Component owner;

    // On black, 18 x 18: the 6 x 6 box at (0, 2) of a 9-unit grid lands at (0, 4, 12, 12).
    auto box = [&] (bool ticked, bool enabled, bool down)
    {
        return render (18, 18, [&] (juce::Graphics& g)
        {
            lf.drawTickBox (g, owner, 0.0f, 0.0f, 18.0f, 18.0f, ticked, enabled, true, down);
        }, juce::Colours::black);
    };

    const auto blueAt = [] (float alpha) { return juce::Colours::black.overlaidWith (juce::Colours::blue.withAlpha (alpha)); };

    EXPECT_TRUE (pixelIs (box (false, true, false), 6, 10, blueAt (0.1f)));
    EXPECT_TRUE (pixelIs (box (false, true, true), 6, 10, blueAt (0.3f)));
    EXPECT_TRUE (pixelIs (box (true, true, false), 6, 10, juce::Colours::orange));
    EXPECT_TRUE (pixelIs (box (true, false, false), 6, 10, juce::Colours::black.overlaidWith (juce::Colours::lightgrey.withAlpha (0.1f))))
        << "a disabled box shows no mark";

    // The white outline sits on the box's edge; nothing is drawn outside the 9-unit grid's box.
    const auto unticked = box (false, true, false);
    const auto edge = unticked.getPixelAt (6, 4);
    EXPECT_GT (edge.getRed(), 60);
    EXPECT_NEAR (edge.getRed(), edge.getGreen(), 2);
    EXPECT_TRUE (pixelIs (unticked, 15, 10, juce::Colours::black));
    EXPECT_TRUE (pixelIs (unticked, 6, 1, juce::Colours::black));
}

//==============================================================================
TEST_F (LookAndFeelTest, LinearThumbIsAFlatRectangleTwiceAsWideAsHigh)
{
    juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    slider.setSize (200, 20);
    ASSERT_EQ (lf.getSliderThumbRadius (slider), 9);

    const auto thumb = render (200, 20, [&] (juce::Graphics& g)
    {
        lf.drawLinearSliderThumb (g, 0, 0, 200, 20, 50.0f, 0.0f, 0.0f, juce::Slider::LinearHorizontal, slider);
    });

    // 14 x 7 centred on (50, 10), with a 2-pixel silver stroke centred on its edge.
    EXPECT_EQ (inkBounds (thumb, isSolid), juce::Rectangle<int> (42, 6, 16, 8));
    EXPECT_TRUE (pixelIs (thumb, 42, 10, juce::Colours::silver, 4));
    EXPECT_TRUE (pixelIs (thumb, 50, 10, juce::Colours::cyan.withMultipliedSaturation (0.9f)))
        << "unfocused and not hovered: saturation times 0.9, no contrast step";

    // Vertical: the same 2r x r rectangle, centred on the value across the slider.
    const auto vertical = render (20, 200, [&] (juce::Graphics& g)
    {
        slider.setSliderStyle (juce::Slider::LinearVertical);
        slider.setSize (20, 200);
        lf.drawLinearSliderThumb (g, 0, 0, 20, 200, 50.0f, 0.0f, 0.0f, juce::Slider::LinearVertical, slider);
    });
    EXPECT_EQ (inkBounds (vertical, isSolid), juce::Rectangle<int> (2, 46, 16, 8));

    // A colour set on the slider wins over the table's cyan.
    slider.setColour (juce::Slider::thumbColourId, juce::Colour (0xff3080c0));
    slider.setEnabled (false);
    const auto own = render (20, 200, [&] (juce::Graphics& g)
    {
        lf.drawLinearSliderThumb (g, 0, 0, 20, 200, 50.0f, 0.0f, 0.0f, juce::Slider::LinearVertical, slider);
    });
    EXPECT_TRUE (pixelIs (own, 10, 50, juce::Colour (0xff3080c0).withMultipliedSaturation (0.9f)));

    // Bar styles draw no thumb of their own.
    const auto bar = render (200, 20, [&] (juce::Graphics& g)
    {
        lf.drawLinearSliderThumb (g, 0, 0, 200, 20, 50.0f, 0.0f, 0.0f, juce::Slider::LinearBar, slider);
    });
    EXPECT_TRUE (inkBounds (bar, isOpaque).isEmpty());
}

TEST_F (LookAndFeelTest, TwoAndThreeValueThumbsAreGlassPointersAroundTheirPositions)
{
    juce::Slider slider (juce::Slider::TwoValueHorizontal, juce::Slider::NoTextBox);
    slider.setSize (200, 30);

    auto drawn = [&] (juce::Slider::SliderStyle style)
    {
        return render (200, 30, [&] (juce::Graphics& g)
        {
            lf.drawLinearSliderThumb (g, 0, 0, 200, 30, 100.0f, 40.0f, 160.0f, style, slider);
        });
    };

    const auto two = drawn (juce::Slider::TwoValueHorizontal);
    const auto three = drawn (juce::Slider::ThreeValueHorizontal);

    // r = 7: pointers of diameter 14 left of the minimum and right of the maximum.
    EXPECT_GT (countPixels (two, { 33, 0, 14, 30 }, isOpaque), 20);
    EXPECT_GT (countPixels (two, { 153, 0, 14, 30 }, isOpaque), 20);
    EXPECT_EQ (countPixels (two, { 90, 0, 20, 30 }, isOpaque), 0) << "no sphere for two values";
    EXPECT_GT (countPixels (three, { 93, 8, 14, 14 }, isOpaque), 50) << "the sphere at the middle value";
}

TEST_F (LookAndFeelTest, RotaryKnobIsAPointerInAnUnfilledRing)
{
    juce::Slider slider (juce::Slider::Rotary, juce::Slider::NoTextBox);
    const auto start = juce::MathConstants<float>::pi * 1.2f;
    const auto end = juce::MathConstants<float>::pi * 2.8f;

    auto knob = [&] (int w, int h, float proportion)
    {
        return render (w, h, [&] (juce::Graphics& g) { lf.drawRotarySlider (g, 0, 0, w, h, proportion, start, end, slider); });
    };

    const auto ringColour = [] (juce::Colour c) { return isOrangeInk (c); };
    const auto pointerColour = [] (juce::Colour c) { return c.getAlpha() > 60 && isCyanInk (c.withAlpha (1.0f)); };

    // 30 x 30: radius 13, pointer and ring. At the top value the pointer points at 144 degrees.
    const auto large = knob (30, 30, 1.0f);
    EXPECT_GT (countPixels (large, large.getBounds(), ringColour), 30);
    EXPECT_GT (countPixels (large, large.getBounds(), pointerColour), 20);

    // Half-way between the ring's inner and outer circle at nine o'clock: never filled.
    EXPECT_EQ (large.getPixelAt (15 - 11, 15).getAlpha(), 0);
    // The ring's opening at six o'clock holds nothing.
    EXPECT_EQ (countPixels (large, { 13, 26, 4, 4 }, ringColour), 0);

    // At half the range the pointer points straight up, and only up.
    const auto upright = knob (30, 30, 0.5f);
    EXPECT_TRUE (pointerColour (upright.getPixelAt (15, 8)));
    EXPECT_FALSE (pointerColour (upright.getPixelAt (15, 22)));
    EXPECT_NEAR (upright.getPixelAt (15, 8).getAlpha(), 178, 2) << "not hovered: alpha 0.7";

    // 31 x 40 halves to 15: radius 13, the same knob with its ring.
    EXPECT_GT (countPixels (knob (31, 40, 0.5f), { 0, 0, 31, 40 }, ringColour), 30);

    // 28 x 28: radius 12, the small knob: a circle and a line, no ring.
    const auto small = knob (28, 28, 0.5f);
    EXPECT_EQ (countPixels (small, small.getBounds(), ringColour), 0);
    EXPECT_GT (countPixels (small, small.getBounds(), pointerColour), 20);
    EXPECT_TRUE (pointerColour (small.getPixelAt (14, 6))) << "the line points up";

    // Disabled: pointer and thin ring in translucent grey.
    slider.setEnabled (false);
    const auto disabled = knob (30, 30, 0.5f);
    EXPECT_EQ (countPixels (disabled, disabled.getBounds(), ringColour), 0);
    EXPECT_EQ (countPixels (disabled, disabled.getBounds(), pointerColour), 0);
    EXPECT_TRUE (pixelIs (disabled, 15, 8, juce::Colour (0x80808080)));
}

TEST_F (LookAndFeelTest, SliderTextBoxTakesTheSlidersColours)
{
    juce::Slider bar (juce::Slider::LinearBar, juce::Slider::NoTextBox);
    bar.setColour (juce::Slider::textBoxBackgroundColourId, juce::Colour (0xff204060));

    std::unique_ptr<juce::Label> box (lf.createSliderTextBox (bar));
    EXPECT_FLOAT_EQ (box->getFont().getHeight(), 10.0f);
    EXPECT_FLOAT_EQ (lf.getLabelFont (*box).getHeight(), 15.0f);
    EXPECT_EQ (box->getJustificationType(), juce::Justification::centred);
    EXPECT_EQ (box->findColour (juce::Label::textColourId).getARGB(), 0xff00ffffu);
    EXPECT_EQ (box->findColour (juce::Label::backgroundColourId).getARGB(), 0x00000000u);
    EXPECT_EQ (box->findColour (juce::Label::outlineColourId).getARGB(), 0xffd3d3d3u);
    EXPECT_EQ (box->findColour (juce::TextEditor::backgroundColourId), juce::Colour (0xff204060).withAlpha (0.7f));

    juce::Slider linear (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    box.reset (lf.createSliderTextBox (linear));
    EXPECT_EQ (box->findColour (juce::Label::backgroundColourId).getARGB(), 0xff102030u);
    EXPECT_EQ (box->findColour (juce::TextEditor::backgroundColourId).getARGB(), 0xff102030u);
    EXPECT_EQ (box->findColour (juce::TextEditor::textColourId).getARGB(), 0xff00ffffu);
}

//==============================================================================
namespace
{
    struct TabStrip
    {
        TabStrip()
        {
            bar.addTab ("Tocksley", juce::Colours::black, -1);
            bar.addTab ("Audio Setup", juce::Colours::black, -1);
            bar.setBounds (0, 0, 432, 30);
            bar.setCurrentTabIndex (0);
        }

        juce::Image drawTab (juce::LookAndFeel& lf, int index, bool over = false)
        {
            auto& tab = *bar.getTabButton (index);
            return render (tab.getWidth(), tab.getHeight(), [&] (juce::Graphics& g) { lf.drawTabButton (tab, g, over, false); });
        }

        juce::TabbedButtonBar bar { juce::TabbedButtonBar::TabsAtTop };
    };

    // The face colour half-way down, where the gradient from brighter to darker passes.
    juce::Colour midFace (juce::Colour base, int height)
    {
        const auto y = (float) (height / 2) + 0.5f;
        return base.brighter (0.1f).interpolatedWith (base.darker (0.1f), y / (float) height);
    }

    int brightestRed (const juce::Image& image)
    {
        int brightest = 0;

        for (int y = 1; y < image.getHeight() - 1; ++y)
            for (int x = 1; x < image.getWidth() - 1; ++x)
                brightest = juce::jmax (brightest, (int) image.getPixelAt (x, y).getRed());

        return brightest;
    }
}

TEST_F (LookAndFeelTest, TabsAreFixedWidthWithATintedFrontTabAndADarkRim)
{
    TabStrip strip;

    for (int i = 0; i < 2; ++i)
        EXPECT_EQ (strip.bar.getTabButton (i)->getWidth(), 120) << "tab " << i;

    const auto front = strip.drawTab (lf, 0);
    const auto back = strip.drawTab (lf, 1);

    EXPECT_TRUE (pixelIs (back, 3, 15, midFace (juce::Colour (0xff34414f), 30)));
    EXPECT_TRUE (pixelIs (front, 3, 15, midFace (juce::Colour (0xff99a027), 30)));
    EXPECT_TRUE (pixelIs (front, 3, 2, juce::Colour (0xff99a027).brighter (0.1f)
                                           .interpolatedWith (juce::Colour (0xff99a027).darker (0.1f), 2.5f / 30.0f)))
        << "the front tab keeps the top-to-bottom gradient";

    for (const auto* image : { &front, &back })
    {
        EXPECT_TRUE (pixelIs (*image, 0, 15, juce::Colour (0xff0c1824)));
        EXPECT_TRUE (pixelIs (*image, 60, 0, juce::Colour (0xff0c1824)));
        EXPECT_TRUE (pixelIs (*image, 119, 15, juce::Colour (0xff0c1824)));
    }

    EXPECT_GT (countPixels (front, front.getBounds(), isBlackInk), 20) << "black text on the front tab";
    EXPECT_GT (countPixels (back, back.getBounds(), [] (juce::Colour c) { return c.getBrightness() > 0.8f; }), 20)
        << "white text on the tab behind";

    // Nothing is drawn behind the front tab.
    const auto behind = render (432, 30, [&] (juce::Graphics& g) { lf.drawTabAreaBehindFrontButton (strip.bar, g, 432, 30); });
    EXPECT_TRUE (inkBounds (behind, isOpaque).isEmpty());
}

TEST_F (LookAndFeelTest, TabTextDimsWhenDisabledAndIgnoresSurroundingSpaces)
{
    TabStrip strip;
    auto& back = *strip.bar.getTabButton (1);
    const auto face = midFace (juce::Colour (0xff34414f), 30).getRed();

    // The text's strongest pixel rises above the face in proportion to the tab's alpha.
    const auto rise = [&] (const juce::Image& image) { return (float) (brightestRed (image) - face); };
    const auto full = rise (strip.drawTab (lf, 1, true));

    EXPECT_GT (full, 150.0f);
    EXPECT_NEAR (rise (strip.drawTab (lf, 1, false)) / full, 0.8f, 0.06f);

    back.setEnabled (false);
    const auto disabled = strip.drawTab (lf, 1, false);
    EXPECT_NEAR (rise (disabled) / full, 0.3f, 0.06f);
    EXPECT_EQ (brightestRed (strip.drawTab (lf, 1, true)), brightestRed (disabled)) << "hovering does not raise it";
    back.setEnabled (true);

    const auto plain = strip.drawTab (lf, 1);
    back.setButtonText ("   Audio Setup \t ");
    const auto padded = strip.drawTab (lf, 1);

    for (int y = 0; y < plain.getHeight(); ++y)
        for (int x = 0; x < plain.getWidth(); ++x)
            ASSERT_EQ (plain.getPixelAt (x, y), padded.getPixelAt (x, y)) << x << ", " << y;
}

TEST_F (LookAndFeelTest, ATabsOwnBackgroundColourDrivesItsFaceAndRim)
{
    TabStrip strip;
    const juce::Colour own (0xff806040);
    strip.bar.getTabButton (1)->setColour (LF::tabBackgroundColourId, own);

    const auto image = strip.drawTab (lf, 1);
    EXPECT_TRUE (pixelIs (image, 0, 15, own.darker (0.3f)));
    EXPECT_TRUE (pixelIs (image, 3, 15, midFace (own.contrasting (0.15f), 30)));
}

//==============================================================================
namespace
{
    juce::Image drawGroup (juce::LookAndFeel& lf, juce::GroupComponent& group, juce::Justification justification = juce::Justification::left)
    {
        return render (group.getWidth(), group.getHeight(), [&] (juce::Graphics& g)
        {
            lf.drawGroupComponentOutline (g, group.getWidth(), group.getHeight(), group.getText(), justification, group);
        });
    }

    bool isOutline (juce::Colour c) { return c.getAlpha() > 100 && c.getRed() > 200 && c.getGreen() < 60; }
}

TEST_F (LookAndFeelTest, GroupFrameLeavesAGapForItsCaption)
{
    juce::GroupComponent group ("g", "Sound");
    group.setSize (200, 100);
    group.setColour (juce::GroupComponent::outlineColourId, juce::Colours::red);
    group.setColour (juce::GroupComponent::textColourId, juce::Colours::lime);

    const juce::Font captionFont (15.0f);
    const auto lineY = juce::roundToInt (captionFont.getAscent() - 3.0f);
    const auto gapStart = 3 + 5 + 4;
    const auto gapEnd = gapStart + captionFont.getStringWidth ("Sound") + 8;

    const auto image = drawGroup (lf, group);

    // Along the top edge the outline stops where the caption's gap begins and resumes after it.
    EXPECT_TRUE (isOutline (image.getPixelAt (gapStart - 2, lineY)));
    EXPECT_FALSE (isOutline (image.getPixelAt (gapStart + 2, lineY)));
    EXPECT_FALSE (isOutline (image.getPixelAt (gapEnd - 2, lineY)));
    EXPECT_TRUE (isOutline (image.getPixelAt (gapEnd + 2, lineY)));
    EXPECT_TRUE (isOutline (image.getPixelAt (150, lineY)));
    EXPECT_GT (countPixels (image, { gapStart, 0, gapEnd - gapStart, 16 }, [] (juce::Colour c) { return c.getGreen() > 150 && c.getRed() < 100; }), 20)
        << "the caption is drawn in the gap";

    // Centred caption: the gap sits in the middle.
    const auto centred = drawGroup (lf, group, juce::Justification::centredTop);
    EXPECT_TRUE (isOutline (centred.getPixelAt (20, lineY)));
    EXPECT_FALSE (isOutline (centred.getPixelAt (100, lineY)));

    // No caption: a closed outline.
    group.setText ({});
    const auto closed = drawGroup (lf, group);
    EXPECT_TRUE (isOutline (closed.getPixelAt (gapStart + 2, lineY)));
    EXPECT_TRUE (isOutline (closed.getPixelAt (gapEnd - 2, lineY)));
}

TEST_F (LookAndFeelTest, DisabledGroupsAndTinyGroupsDrawSafely)
{
    juce::GroupComponent group ("g", "Preset");
    group.setSize (200, 100);
    group.setColour (juce::GroupComponent::outlineColourId, juce::Colours::red);
    group.setColour (juce::GroupComponent::textColourId, juce::Colours::lime);

    const auto enabledAlpha = drawGroup (lf, group).getPixelAt (100, 99 - 3).getAlpha();
    group.setEnabled (false);
    const auto disabledAlpha = drawGroup (lf, group).getPixelAt (100, 99 - 3).getAlpha();
    EXPECT_GT (enabledAlpha, 200);
    EXPECT_NEAR (disabledAlpha, enabledAlpha / 2, 2);

    // Narrower than the indents: a zero-width frame and no caption; nothing degenerate crashes.
    group.setEnabled (true);
    for (const auto& [w, h] : { std::pair { 5, 100 }, { 6, 6 }, { 0, 0 }, { 1, 1 }, { -4, -4 } })
    {
        const auto image = render (10, 100, [&] (juce::Graphics& g)
        {
            lf.drawGroupComponentOutline (g, w, h, group.getText(), juce::Justification::left, group);
        });
        EXPECT_EQ (countPixels (image, image.getBounds(), [] (juce::Colour c) { return c.getAlpha() > 0 && c.getGreen() > 150; }), 0)
            << w << " x " << h;
    }

    // A caption wider than the frame is cut to fit, between the rounded corners.
    group.setSize (60, 60);
    group.setText ("A caption far too long for this frame");
    const auto image = drawGroup (lf, group);
    const auto lineY = juce::roundToInt (juce::Font (15.0f).getAscent() - 3.0f);
    EXPECT_TRUE (isOutline (image.getPixelAt (50, lineY))) << "the gap ends before the right-hand corner";
    EXPECT_FALSE (isOutline (image.getPixelAt (30, lineY)));
}

//==============================================================================
TEST (LookAndFeelInstallation, TheEditorMakesItTheDefaultAndEveryTextOfThePanelIsLegible)
{
    MetronomeProcessor engine { juce::File() };

    {
        MetronomeProcessorEditor editor (engine);
        auto* installed = dynamic_cast<OrlavaneLightLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel());
        ASSERT_NE (installed, nullptr);
        EXPECT_EQ (&editor.getLookAndFeel(), installed);

        // Any blank face shows up as a text control that draws nothing over its own background.
        auto* panel = editor.getChildComponent (0);
        ASSERT_NE (panel, nullptr);

        const auto snapshot = panel->createComponentSnapshot (panel->getLocalBounds());
        int checked = 0;

        for (auto* child : panel->getChildren())
        {
            if (! child->isVisible())
                continue;

            juce::String text;

            if (auto* label = dynamic_cast<juce::Label*> (child))          text = label->getText();
            else if (auto* button = dynamic_cast<juce::Button*> (child))   text = button->getButtonText();
            else if (auto* combo = dynamic_cast<juce::ComboBox*> (child))  text = combo->getText();

            if (text.trim().isEmpty())
                continue;

            // Light ink: text is white, cyan, yellow or the like on dark faces.
            const auto ink = countPixels (snapshot, child->getBounds(), [] (juce::Colour c) { return c.getBrightness() > 0.85f && c.getSaturation() < 0.6f; })
                           + countPixels (snapshot, child->getBounds(), [] (juce::Colour c) { return isCyanInk (c) || (c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() < 80); });
            EXPECT_GE (ink, 6) << child->getName() << " \"" << text << "\" shows no text";
            ++checked;
        }

        EXPECT_GE (checked, 15);
    }

    EXPECT_EQ (dynamic_cast<OrlavaneLightLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr)
        << "the editor hands the default back before its look and feel goes";
}

TEST (LookAndFeelInstallation, TextTypedIntoThePanelIsDrawnInItsLightText)
{
    // The BPM number and the slash between the time-signature boxes, being edited.
    MetronomeProcessor engine { juce::File() };
    MetronomeProcessorEditor editor (engine);
    auto* panel = editor.getChildComponent (0);
    ASSERT_NE (panel, nullptr);

    for (const int index : { 6, 7 })
    {
        auto* label = dynamic_cast<juce::Label*> (panel->getChildComponent (index));
        ASSERT_NE (label, nullptr);
        label->showEditor();
        auto* typing = label->getCurrentTextEditor();
        ASSERT_NE (typing, nullptr) << index;
        typing->setText ("128");

        const auto snapshot = typing->createComponentSnapshot (typing->getLocalBounds());
        const auto light = countPixels (snapshot, snapshot.getBounds(), [] (juce::Colour c) { return c.getBrightness() > 0.85f; });
        const auto black = countPixels (snapshot, snapshot.getBounds(), [] (juce::Colour c) { return c.getAlpha() > 200 && c.getBrightness() < 0.1f; });
        EXPECT_GE (light, 20) << "label " << index;
        EXPECT_EQ (black, 0) << "label " << index;
        label->hideEditor (true);
    }
}

//==============================================================================
TEST_F (LookAndFeelTest, CharactersThePanelsFaceLacksAreDrawnFromAFaceThatHasThem)
{
    if (! juce::Font::findAllTypefaceNames().contains ("DejaVu Sans"))
        GTEST_SKIP() << "DejaVu Sans (fonts-dejavu-core) is not installed";

    const juce::Font font (20.0f);
    const juce::String crotchet (juce::CharPointer_UTF8 ("\xe2\x99\xa9"));        // U+2669, a quarter note
    const juce::String name (juce::CharPointer_UTF8 ("Caf\xc3\xa9 \xe2\x99\xa9 120"));

    const auto draw = [] (const juce::Font& f, const juce::String& text)
    {
        return render (240, 40, [&] (juce::Graphics& g)
        {
            g.setColour (juce::Colours::white);
            g.setFont (f);
            g.drawSingleLineText (text, 4, 28);
        });
    };

    EXPECT_GT (countPixels (draw (font, crotchet), { 0, 0, 240, 40 }, isOpaque), 10) << "the note alone";

    // The note's own place in the name, between "Café " and " 120".
    const auto noteStart = 4 + juce::roundToInt (font.getStringWidthFloat (name.substring (0, 5)));
    const auto noteEnd = 4 + juce::roundToInt (font.getStringWidthFloat (name.substring (0, 6)));
    ASSERT_GT (noteEnd, noteStart + 4);
    EXPECT_GT (countPixels (draw (font, name), { noteStart, 0, noteEnd - noteStart, 40 }, isOpaque), 10) << "the note in the name";

    // Text the panel's face has is drawn by that face alone, pixel for pixel.
    const auto face = font.getTypefacePtr();
    const auto plainFace = juce::Font (juce::Font::getDefaultTypefaceForFont (juce::Font (face->getName(), face->getStyle(), 20.0f)))
                               .withHeight (20.0f);
    ASSERT_EQ (plainFace.getTypefacePtr()->getName(), face->getName());

    for (const auto* text : { "Tempo 120", "Caf\xc3\xa9 Waltz", "\xc2\xa9 Andante \xe2\x80\x93 Allegro" })
    {
        const juce::String utf8 (juce::CharPointer_UTF8 { text });
        const auto expected = draw (plainFace, utf8);
        const auto actual = draw (font, utf8);
        EXPECT_FLOAT_EQ (font.getStringWidthFloat (utf8), plainFace.getStringWidthFloat (utf8)) << utf8;
        EXPECT_EQ (countPixels (actual, actual.getBounds(), [] (juce::Colour) { return true; }), 240 * 40);

        int differing = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 240; ++x)
                differing += actual.getPixelAt (x, y) != expected.getPixelAt (x, y) ? 1 : 0;

        EXPECT_EQ (differing, 0) << utf8;
        EXPECT_GT (countPixels (actual, actual.getBounds(), isOpaque), 40) << utf8;
    }
}
