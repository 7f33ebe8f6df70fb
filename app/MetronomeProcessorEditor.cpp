#include "MetronomeProcessorEditor.h"
#include "engine/MetronomeProcessor.h"
#include "panel/MetronomeComponent.h"

MetronomeProcessorEditor::MetronomeProcessorEditor (MetronomeProcessor& processor)
    : juce::AudioProcessorEditor (processor)
{
    // Installed before the panel exists, so that its controls are built and measured in it;
    // faces looked up under an earlier default are cached under the same names.
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
    juce::Typeface::clearTypefaceCache();

    panel = std::make_unique<MetronomeComponent> (processor);
    addAndMakeVisible (*panel);
    setSize (panel->getWidth(), panel->getHeight());
}

MetronomeProcessorEditor::~MetronomeProcessorEditor()
{
    // The framework keeps only a weak reference to its default; components that outlive
    // the editor go back to the framework's own look rather than to a dead one.
    if (&juce::LookAndFeel::getDefaultLookAndFeel() == &lookAndFeel)
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}

void MetronomeProcessorEditor::resized()
{
    panel->setBounds (getLocalBounds());
}
