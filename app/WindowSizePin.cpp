#include "WindowSizePin.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

/** The display connection that watches the window's hints, and the window it watches. */
struct WindowSizePin::Connection
{
    Display* display = nullptr;
    ::Window watched = 0;
};

WindowSizePin::WindowSizePin (juce::Component& w)
    : window (w),
      connection (std::make_unique<Connection>())
{
    connection->display = XOpenDisplay (nullptr);

    if (connection->display != nullptr)
        juce::LinuxEventLoop::registerFdCallback (ConnectionNumber (connection->display), [this] (int) { handleEvents(); });

    window.addComponentListener (this);
    pin();
}

WindowSizePin::~WindowSizePin()
{
    window.removeComponentListener (this);

    if (connection->display != nullptr)
    {
        juce::LinuxEventLoop::unregisterFdCallback (ConnectionNumber (connection->display));
        XCloseDisplay (connection->display);
    }
}

void WindowSizePin::componentMovedOrResized (juce::Component&, bool, bool)
{
    pin();
}

void WindowSizePin::handleEvents()
{
    bool hintsChanged = false;

    while (XPending (connection->display) > 0)
    {
        XEvent event;
        XNextEvent (connection->display, &event);
        hintsChanged = hintsChanged || (event.type == PropertyNotify && event.xproperty.atom == XA_WM_NORMAL_HINTS);
    }

    if (hintsChanged)
        pin();
}

void WindowSizePin::pin()
{
    auto* display = connection->display;
    auto* peer = window.getPeer();

    if (display == nullptr || peer == nullptr)
        return;

    const auto handle = (::Window) (juce::pointer_sized_uint) peer->getNativeHandle();

    // A new peer is a new X window: watch that one.
    if (handle != connection->watched)
    {
        XSelectInput (display, handle, PropertyChangeMask);
        connection->watched = handle;
    }

    // The hints count the client area alone, in the display's pixels.
    const auto scale = peer->getPlatformScaleFactor();
    const auto width = juce::roundToInt (window.getWidth() * scale);
    const auto height = juce::roundToInt (window.getHeight() * scale);

    XSizeHints hints {};
    long supplied = 0;

    if (XGetWMNormalHints (display, handle, &hints, &supplied) == 0)
        hints.flags = 0;

    const bool pinned = (hints.flags & (PMinSize | PMaxSize)) == (PMinSize | PMaxSize)
                         && hints.min_width == width && hints.max_width == width
                         && hints.min_height == height && hints.max_height == height;

    // Written only when missing: each write comes back as a change of the property.
    if (pinned)
        return;

    hints.flags |= PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints (display, handle, &hints);
    XFlush (display);
}
