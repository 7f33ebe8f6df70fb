#include "MetronomeComponent.h"
#include "engine/MetronomeProcessor.h"

MetronomeComponent::MetronomeComponent (MetronomeProcessor& p)
    : processor (&p)
{
    setSize (432, 680);
}

MetronomeComponent::~MetronomeComponent() = default;
