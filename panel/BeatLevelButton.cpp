#include "BeatLevelButton.h"

BeatLevelButton::BeatLevelButton (int number)
    : juce::Button ("beat " + juce::String (number)),
      beatNumber (number)
{
    setTooltip (TRANS ("Beat") + " " + juce::String (number) + ": " + TRANS ("click for accent, normal, soft or silent"));
}

void BeatLevelButton::setLevel (BeatLevel newLevel)
{
    if (newLevel != level)
    {
        level = newLevel;
        repaint();
    }
}

void BeatLevelButton::setLit (bool shouldBeLit)
{
    if (shouldBeLit != lit)
    {
        lit = shouldBeLit;
        repaint();
    }
}

BeatLevel BeatLevelButton::nextLevel (BeatLevel current) noexcept
{
    switch (current)
    {
        case BeatLevel::accent:  return BeatLevel::normal;
        case BeatLevel::normal:  return BeatLevel::soft;
        case BeatLevel::soft:    return BeatLevel::silent;
        case BeatLevel::silent:  break;
    }

    return BeatLevel::accent;
}

float BeatLevelButton::barHeightFor (BeatLevel l) noexcept
{
    switch (l)
    {
        case BeatLevel::accent:  return 1.0f;
        case BeatLevel::normal:  return 2.0f / 3.0f;
        case BeatLevel::soft:    return 1.0f / 3.0f;
        case BeatLevel::silent:  break;
    }

    return 0.0f;
}

void BeatLevelButton::clicked()
{
    setLevel (nextLevel (level));
}

void BeatLevelButton::paintButton (juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    auto area = getLocalBounds().toFloat().reduced (1.0f);

    auto face = findColour (juce::TextButton::buttonColourId);
    if (isMouseOver || isButtonDown)
        face = face.brighter (0.2f);

    g.setColour (face.darker (0.3f));
    g.fillRect (area);

    // Louder beats are taller and brighter, so the levels differ in more than hue.
    const auto inner = area.reduced (4.0f);
    const auto barHeight = inner.getHeight() * barHeightFor (level);
    const auto brightness = level == BeatLevel::accent ? 1.0f : level == BeatLevel::normal ? 0.75f : 0.45f;
    const auto barColour = juce::Colour (0xfff7931d).withMultipliedBrightness (brightness)
                                                    .withMultipliedSaturation (level == BeatLevel::accent ? 1.0f : 0.5f);

    if (barHeight > 0.0f)
    {
        g.setColour (lit ? barColour.brighter (0.6f) : barColour);
        g.fillRect (inner.withTop (inner.getBottom() - barHeight));
    }

    g.setColour (lit ? juce::Colours::white : face.brighter (0.4f));
    g.drawRect (area, lit ? 3.0f : 1.0f);

    g.setColour (level == BeatLevel::accent ? juce::Colours::black : juce::Colours::azure);
    g.setFont (juce::Font (juce::jmin (15.0f, inner.getHeight() * 0.5f), juce::Font::bold));
    g.drawText (juce::String (beatNumber), inner, juce::Justification::centredTop, false);
}
