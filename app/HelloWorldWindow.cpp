#include "HelloWorldWindow.h"
#include "MainComponent.h"
#include "panel/MetronomeComponent.h"

#include <TocksleyResources.h>

HelloWorldWindow::HelloWorldWindow()
    : juce::DocumentWindow ("Tocksley", juce::Colours::lightgrey, juce::DocumentWindow::allButtons, true)
{
    setUsingNativeTitleBar (true);
    setIcon (juce::ImageCache::getFromMemory (TocksleyResources::icon_48_png, TocksleyResources::icon_48_pngSize));
    setContentOwned (new MainComponent(), true);
    setResizable (false, false);

    // Not resizable is not enough for an X11 window manager: it must be told the size limits.
    sizePin = std::make_unique<WindowSizePin> (*this);
    centreWithSize (getWidth(), getHeight());

    // The focus the window gets goes on to its content, from where Tab moves through
    // the controls; held by the window itself, Tab would have nowhere to go.
    setWantsKeyboardFocus (false);
    setVisible (true);
}

HelloWorldWindow::~HelloWorldWindow() = default;

void HelloWorldWindow::startLinked()
{
    static_cast<MainComponent*> (getContentComponent())->getPanel().pressLink();
}

void HelloWorldWindow::closeButtonPressed()
{
    juce::JUCEApplication::quit();
}
