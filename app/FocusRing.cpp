#include "FocusRing.h"

FocusRing::FocusRing()
{
    setInterceptsMouseClicks (false, false);
    setAlwaysOnTop (true);
    setWantsKeyboardFocus (false);
    juce::Desktop::getInstance().addFocusChangeListener (this);
}

FocusRing::~FocusRing()
{
    juce::Desktop::getInstance().removeFocusChangeListener (this);
    setTarget (nullptr);
}

void FocusRing::paint (juce::Graphics& g)
{
    g.setColour (juce::Colour (0xfff7931d));
    g.drawRoundedRectangle (getLocalBounds().toFloat().reduced (1.0f), 4.0f, 2.0f);
}

void FocusRing::globalFocusChanged (juce::Component* focused)
{
    auto* parent = getParentComponent();
    setTarget (parent != nullptr && focused != nullptr && parent->isParentOf (focused) ? focused : nullptr);
}

void FocusRing::componentBeingDeleted (juce::Component& component)
{
    if (&component == target.getComponent())
        setTarget (nullptr);
}

void FocusRing::setTarget (juce::Component* newTarget)
{
    if (auto* old = target.getComponent())
        old->removeComponentListener (this);

    target = newTarget;

    if (newTarget != nullptr)
        newTarget->addComponentListener (this);

    follow();
}

void FocusRing::follow()
{
    auto* parent = getParentComponent();
    auto* focused = target.getComponent();

    if (parent == nullptr || focused == nullptr || ! focused->isShowing())
    {
        setVisible (false);
        return;
    }

    setBounds (parent->getLocalArea (focused, focused->getLocalBounds()).expanded (margin));
    setVisible (true);
    toFront (false);
}
