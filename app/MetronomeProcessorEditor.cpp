#include "MetronomeProcessorEditor.h"
#include "engine/MetronomeProcessor.h"
#include "panel/MetronomeComponent.h"

MetronomeProcessorEditor::MetronomeProcessorEditor (MetronomeProcessor& processor)
    : juce::AudioProcessorEditor (processor),
      panel (std::make_unique<MetronomeComponent> (processor))
{
    addAndMakeVisible (*panel);
    setSize (panel->getWidth(), panel->getHeight());
}

MetronomeProcessorEditor::~MetronomeProcessorEditor() = default;

void MetronomeProcessorEditor::resized()
{
    panel->setBounds (getLocalBounds());
}
