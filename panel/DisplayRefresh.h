#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

/**
    Calls a page's refresh on the message thread, at most once per interval.
    While the page is on a window, the calls ride on the window's own display
    refresh (its vertical blank), so that showing what the engine does wakes the
    program no more often than the window system already does. Off the window
    (a page behind another tab is taken out of it) there are no calls, unless
    the page asks to go on without a display: then a timer of its own makes them.
*/
class DisplayRefresh : private juce::ComponentPeer::VBlankListener,
                       private juce::ComponentMovementWatcher,
                       private juce::Timer
{
public:
    DisplayRefresh (juce::Component& page, int intervalMs, std::function<void()> refresh);
    ~DisplayRefresh() override;

    /** Whether the calls go on, from a timer, while the page is off the window. */
    void setRunsWithoutDisplay (bool shouldRun);

private:
    void onVBlank() override;
    void timerCallback() override                              { refresh(); }
    void componentPeerChanged() override                       { attach(); }
    void componentMovedOrResized (bool, bool) override         {}
    void componentVisibilityChanged() override                 {}
    void attach();
    void detach();

    juce::Component& page;
    const int intervalMs;
    std::function<void()> refresh;
    juce::ComponentPeer* peer = nullptr;
    juce::uint32 lastCall = 0;
    bool runsWithoutDisplay = false;

    JUCE_DECLARE_NON_COPYABLE (DisplayRefresh)
};
