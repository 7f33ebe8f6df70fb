#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The application's look: a dark navy scheme with cyan text and orange accents,
    flat glowing switches, flat slider thumbs, pointer knobs, fixed-width tabs and
    rounded group frames with their captions set into the top edge.
*/
class OrlavaneLightLookAndFeel : public juce::LookAndFeel_V3
{
public:
    /** The base colour of tab buttons; resolved on the button first, then in this table. */
    static constexpr int tabBackgroundColourId = 0x2340000;

    OrlavaneLightLookAndFeel (float labelFontHeight, float buttonFontHeight);
    ~OrlavaneLightLookAndFeel() override;

    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&,
                           bool isMouseOverButton, bool isButtonDown) override;
    void drawTickBox (juce::Graphics&, juce::Component&,
                      float x, float y, float w, float h,
                      bool ticked, bool isEnabled,
                      bool isMouseOverButton, bool isButtonDown) override;

    juce::Font getLabelFont (juce::Label&) override;

    void drawLinearSliderThumb (juce::Graphics&, int x, int y, int width, int height,
                                float sliderPos, float minSliderPos, float maxSliderPos,
                                juce::Slider::SliderStyle, juce::Slider&) override;
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPosProportional, float rotaryStartAngle, float rotaryEndAngle,
                           juce::Slider&) override;
    juce::Label* createSliderTextBox (juce::Slider&) override;

    int getTabButtonBestWidth (juce::TabBarButton&, int tabDepth) override;
    void drawTabButton (juce::TabBarButton&, juce::Graphics&, bool isMouseOver, bool isMouseDown) override;
    void drawTabAreaBehindFrontButton (juce::TabbedButtonBar&, juce::Graphics&, int w, int h) override;

    void drawGroupComponentOutline (juce::Graphics&, int width, int height, const juce::String& text,
                                    const juce::Justification&, juce::GroupComponent&) override;

    /** Calibri and Consolas are seldom installed on Linux, and the framework matches
        family names exactly: without a stand-in every caption would be drawn blank.
        The names stay as they are; only the face that draws them is substituted.
        Characters the face lacks are drawn from DejaVu Sans where it is installed.
    */
    juce::Typeface::Ptr getTypefaceForFont (const juce::Font&) override;

private:
    void fillOutlinedRectangle (juce::Graphics&, juce::Colour fill, float x, float y, float w, float h,
                                juce::Colour outline);
    juce::Colour tabBaseColour (juce::TabBarButton&);
    juce::String installedFaceFor (const juce::String& typefaceName) const;
    juce::String fallbackStyleFor (const juce::String& style) const;

    const float labelFontHeight;
    const float buttonFontHeight;
    juce::String sansSerifStandIn, monospacedStandIn, fallbackFamily;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrlavaneLightLookAndFeel)
};
