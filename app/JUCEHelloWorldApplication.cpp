#include "JUCEHelloWorldApplication.h"

JUCEHelloWorldApplication::~JUCEHelloWorldApplication()
{
    mainWindow.reset();
}

void JUCEHelloWorldApplication::initialise (const juce::String&)
{
    mainWindow = std::make_unique<HelloWorldWindow>();
}

void JUCEHelloWorldApplication::shutdown()
{
    mainWindow.reset();
}

void JUCEHelloWorldApplication::systemRequestedQuit()
{
    quit();
}
