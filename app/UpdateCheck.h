#pragma once

#include <juce_events/juce_events.h>
#include <functional>
#include <string>

/**
    Asks the maker's web server, once and on a thread of its own, whether a
    newer version is offered, and reports the answer on the message thread.

    The server's file holds the newest version as major * 65536 + minor * 256
    + patch; this release, 1.0.0, is 65536. Nothing waits on the network: the
    window appears at once, a request that gets no answer gives up after the
    time-out, and destroying the check cancels a request under way.
*/
class UpdateCheck : private juce::Thread,
                    private juce::AsyncUpdater
{
public:
    /** Starts the request at once; onResult runs on the message thread, and only
        if the check still exists when the answer arrives. */
    UpdateCheck (const juce::URL& updateFile, std::function<void (bool updateAvailable)> onResult,
                 int timeoutMilliseconds = 4000);
    ~UpdateCheck() override;

    /** Whether a response names a newer version: its leading integer, read the way
        C's atoi reads it (spaces, a sign, digits), is greater than 65536. */
    static bool isNewerVersion (const std::string& responseBody);

    static constexpr long currentVersion = 0x10000;
    static constexpr int maxResponseBytes = 4096;

private:
    void run() override;
    void handleAsyncUpdate() override;

    juce::URL updateFile;
    std::function<void (bool)> onResult;
    int timeoutMilliseconds;

    juce::CriticalSection streamLock;
    juce::WebInputStream* stream = nullptr;
    std::atomic<bool> newerVersionFound { false };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateCheck)
};
