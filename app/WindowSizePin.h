#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/**
    Keeps a desktop window at the size it has: the window manager is told that
    the window's least and greatest sizes are both its own, so that its frame
    offers no way to stretch it.

    The framework's X11 peer writes such limits for a window that is not
    resizable, but each time it places the window (on every move and resize, and
    again at the first paint after it has let go of its back buffer) it replaces
    the whole WM_NORMAL_HINTS property with a position and a size alone. So the
    property is watched on a display connection of this object's own, and the
    limits are written back, on top of whatever else it holds, whenever they are
    missing from it.
*/
class WindowSizePin : private juce::ComponentListener
{
public:
    /** Pins the window from now on; the window must outlive this. */
    explicit WindowSizePin (juce::Component& window);
    ~WindowSizePin() override;

private:
    struct Connection;

    void componentMovedOrResized (juce::Component&, bool wasMoved, bool wasResized) override;
    void pin();
    void handleEvents();

    juce::Component& window;
    std::unique_ptr<Connection> connection;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WindowSizePin)
};
