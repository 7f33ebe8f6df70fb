#include "JUCEHelloWorldApplication.h"

JUCEHelloWorldApplication::~JUCEHelloWorldApplication()
{
    mainWindow.reset();
}

void JUCEHelloWorldApplication::initialise (const juce::String& commandLine)
{
    mainWindow = std::make_unique<HelloWorldWindow>();

    // For scripts: "tocksley --link" joins the Link session from the start.
    if (juce::StringArray::fromTokens (commandLine, true).contains ("--link"))
        mainWindow->startLinked();
}

void JUCEHelloWorldApplication::shutdown()
{
    mainWindow.reset();
}

void JUCEHelloWorldApplication::systemRequestedQuit()
{
    quit();
}
