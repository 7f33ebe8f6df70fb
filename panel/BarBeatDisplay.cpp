#include "BarBeatDisplay.h"

void BarBeatDisplay::setPosition (int newBar, int newBeat)
{
    if (newBar != bar || newBeat != beat)
    {
        bar = newBar;
        beat = newBeat;
        repaint();
    }
}

juce::String BarBeatDisplay::getBarText() const
{
    return juce::String (bar);
}

void BarBeatDisplay::paint (juce::Graphics& g)
{
    auto area = getLocalBounds();
    const auto countingIn = bar < 0;

    g.setColour (juce::Colour (0xfff7931d));
    g.drawRect (area, 1);

    auto barArea = area.removeFromLeft (area.getWidth() * 3 / 5).reduced (6, 2);
    auto beatArea = area.reduced (6, 2);

    const juce::Font caption (15.0f);
    const juce::Font number ("Consolas", (float) barArea.getHeight() * 0.7f, juce::Font::bold);

    g.setFont (caption);
    g.setColour (juce::Colours::azure);
    g.drawText (countingIn ? TRANS ("COUNT-IN") : TRANS ("BAR"), barArea.removeFromTop (18), juce::Justification::centredLeft, false);
    g.drawText (TRANS ("BEAT"), beatArea.removeFromTop (18), juce::Justification::centredLeft, false);

    g.setFont (number);
    g.setColour (countingIn ? juce::Colours::orange : juce::Colours::yellow);
    g.drawText (getBarText(), barArea, juce::Justification::centred, false);
    g.setColour (juce::Colours::yellow);
    g.drawText (getBeatText(), beatArea, juce::Justification::centred, false);
}
