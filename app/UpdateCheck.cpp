#include "UpdateCheck.h"

#include <cstdlib>

UpdateCheck::UpdateCheck (const juce::URL& file, std::function<void (bool)> callback, int timeout)
    : juce::Thread ("Update check"),
      updateFile (file),
      onResult (std::move (callback)),
      timeoutMilliseconds (timeout)
{
    startThread();
}

UpdateCheck::~UpdateCheck()
{
    signalThreadShouldExit();

    {
        const juce::ScopedLock lock (streamLock);

        if (stream != nullptr)
            stream->cancel();
    }

    stopThread (timeoutMilliseconds + 1000);
    cancelPendingUpdate();
}

bool UpdateCheck::isNewerVersion (const std::string& responseBody)
{
    // strtol reads what atoi reads, with a defined result on overflow; the bytes
    // are read as they came, so no text decoding can trip over them.
    return std::strtol (responseBody.c_str(), nullptr, 10) > currentVersion;
}

void UpdateCheck::run()
{
    juce::WebInputStream request (updateFile, false);
    request.withConnectionTimeout (timeoutMilliseconds).withNumRedirectsToFollow (5);

    {
        const juce::ScopedLock lock (streamLock);

        if (threadShouldExit())
            return;

        stream = &request;
    }

    std::string response;

    if (request.connect (nullptr))
    {
        // Only the leading number matters; an endless or huge answer is cut short.
        juce::MemoryBlock body;
        char chunk[512];

        while (! threadShouldExit() && body.getSize() < (size_t) maxResponseBytes)
        {
            const auto numRead = request.read (chunk, (int) sizeof (chunk));

            if (numRead <= 0)
                break;

            body.append (chunk, (size_t) numRead);
        }

        response.assign (static_cast<const char*> (body.getData()), juce::jmin (body.getSize(), (size_t) maxResponseBytes));
    }

    {
        const juce::ScopedLock lock (streamLock);
        stream = nullptr;
    }

    if (! threadShouldExit())
    {
        newerVersionFound = isNewerVersion (response);
        triggerAsyncUpdate();
    }
}

void UpdateCheck::handleAsyncUpdate()
{
    if (onResult != nullptr)
        onResult (newerVersionFound);
}
