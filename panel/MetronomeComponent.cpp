#include "MetronomeComponent.h"
#include "engine/MetronomeProcessor.h"

MetronomeComponent::MetronomeComponent (MetronomeProcessor&)
{
    setSize (432, 680);
}

MetronomeComponent::~MetronomeComponent() = default;
