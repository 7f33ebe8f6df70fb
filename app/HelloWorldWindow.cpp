#include "HelloWorldWindow.h"
#include "MainComponent.h"

#include <TocksleyResources.h>

HelloWorldWindow::HelloWorldWindow()
    : juce::DocumentWindow ("Tocksley", juce::Colours::lightgrey, juce::DocumentWindow::allButtons, true)
{
    setUsingNativeTitleBar (true);
    setIcon (juce::ImageCache::getFromMemory (TocksleyResources::icon_48_png, TocksleyResources::icon_48_pngSize));
    setContentOwned (new MainComponent(), true);
    setResizable (false, false);
    centreWithSize (getWidth(), getHeight());
    setVisible (true);

    // Tab starts from the content, so the first press already lands on a control.
    getContentComponent()->grabKeyboardFocus();
}

HelloWorldWindow::~HelloWorldWindow() = default;

void HelloWorldWindow::closeButtonPressed()
{
    juce::JUCEApplication::quit();
}
