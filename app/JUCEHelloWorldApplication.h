#pragma once

#include "HelloWorldWindow.h"

/** The application object: opens the one main window and closes it at quit. */
class JUCEHelloWorldApplication : public juce::JUCEApplication
{
public:
    JUCEHelloWorldApplication() = default;
    ~JUCEHelloWorldApplication() override;

    const juce::String getApplicationName() override       { return "Tocksley"; }
    const juce::String getApplicationVersion() override    { return TOCKSLEY_VERSION_STRING; }
    bool moreThanOneInstanceAllowed() override             { return true; }

    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String&) override {}
    void systemRequestedQuit() override;
    void suspended() override                              {}
    void resumed() override                                {}
    void unhandledException (const std::exception*, const juce::String&, int) override {}

private:
    std::unique_ptr<HelloWorldWindow> mainWindow;
};
