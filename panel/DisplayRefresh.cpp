#include "DisplayRefresh.h"

DisplayRefresh::DisplayRefresh (juce::Component& p, int interval, std::function<void()> callback)
    : juce::ComponentMovementWatcher (&p),
      page (p),
      intervalMs (interval),
      refresh (std::move (callback))
{
    attach();
}

DisplayRefresh::~DisplayRefresh()
{
    detach();
}

void DisplayRefresh::attach()
{
    detach();
    peer = page.getPeer();

    if (peer != nullptr)
        peer->addVBlankListener (this);

    if (peer == nullptr && runsWithoutDisplay)
        startTimer (juce::jmax (1, intervalMs));
    else
        stopTimer();
}

void DisplayRefresh::setRunsWithoutDisplay (bool shouldRun)
{
    runsWithoutDisplay = shouldRun;
    attach();
}

void DisplayRefresh::detach()
{
    // The window may have gone before its pages: only a live peer still lists us.
    if (peer != nullptr && juce::ComponentPeer::isValidPeer (peer))
        peer->removeVBlankListener (this);

    peer = nullptr;
}

void DisplayRefresh::onVBlank()
{
    const auto now = juce::Time::getMillisecondCounter();

    if (now - lastCall >= (juce::uint32) intervalMs)
    {
        lastCall = now;
        refresh();
    }
}
