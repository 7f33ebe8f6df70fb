#pragma once

#include <juce_core/juce_core.h>

/**
    A tiny HTTP server on 127.0.0.1 for the update-check tests: answers every
    request with a fixed response, or accepts and never answers.
*/
class LoopbackHttpServer : private juce::Thread
{
public:
    enum class Behaviour { answer, acceptAndNeverAnswer };

    LoopbackHttpServer (Behaviour behaviourToUse, const juce::String& statusLine, const juce::String& body)
        : juce::Thread ("Loopback HTTP server"), behaviour (behaviourToUse)
    {
        response << statusLine << "\r\nContent-Type: text/plain\r\nContent-Length: " << (int) body.getNumBytesAsUTF8()
                 << "\r\nConnection: close\r\n\r\n" << body;
        listener.createListener (0, "127.0.0.1");
        startThread();
    }

    ~LoopbackHttpServer() override
    {
        signalThreadShouldExit();
        listener.close();
        stopThread (2000);
    }

    /** The server's address, ending in a slash. */
    juce::String getAddress() const    { return "http://127.0.0.1:" + juce::String (listener.getBoundPort()) + "/"; }

    juce::String getLastRequestLine() const
    {
        const juce::ScopedLock lock (requestLock);
        return lastRequestLine;
    }

private:
    void run() override
    {
        std::vector<std::unique_ptr<juce::StreamingSocket>> heldOpen;

        while (! threadShouldExit())
        {
            std::unique_ptr<juce::StreamingSocket> client (listener.waitForNextConnection());

            if (client == nullptr)
                break;

            juce::MemoryOutputStream request;
            char buffer[1024];

            while (! request.toString().contains ("\r\n\r\n") && client->waitUntilReady (true, 2000) == 1)
            {
                const auto numRead = client->read (buffer, (int) sizeof (buffer), false);
                if (numRead <= 0)
                    break;
                request.write (buffer, (size_t) numRead);
            }

            {
                const juce::ScopedLock lock (requestLock);
                lastRequestLine = request.toString().upToFirstOccurrenceOf ("\r\n", false, false);
            }

            if (behaviour == Behaviour::acceptAndNeverAnswer)
                heldOpen.push_back (std::move (client));
            else
                client->write (response.toRawUTF8(), (int) response.getNumBytesAsUTF8());
        }
    }

    Behaviour behaviour;
    juce::String response;
    juce::StreamingSocket listener;
    juce::CriticalSection requestLock;
    juce::String lastRequestLine;
};
