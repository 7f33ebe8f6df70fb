#include "app/HelloWorldWindow.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

// The main window on a display: what it tells the window manager about its size.

namespace
{
    /** WM_NORMAL_HINTS as another client (the window manager) reads it. */
    struct SizeHints
    {
        long flags = 0;
        int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;

        bool pinnedAt (int width, int height) const
        {
            return (flags & (PMinSize | PMaxSize)) == (PMinSize | PMaxSize)
                && minWidth == width && maxWidth == width && minHeight == height && maxHeight == height;
        }
    };

    SizeHints readHints (Display* display, juce::Component& window)
    {
        auto* peer = window.getPeer();

        if (peer == nullptr)
            return {};

        XSizeHints hints {};
        long supplied = 0;

        if (XGetWMNormalHints (display, (::Window) (juce::pointer_sized_uint) peer->getNativeHandle(), &hints, &supplied) == 0)
            return {};

        return { hints.flags, hints.min_width, hints.min_height, hints.max_width, hints.max_height };
    }

    /** The hints once the program has had up to two seconds to settle them. */
    ::testing::AssertionResult settlesPinnedAt (juce::Component& window, int width, int height)
    {
        auto* display = XOpenDisplay (nullptr);

        if (display == nullptr)
            return ::testing::AssertionFailure() << "no display";

        SizeHints hints;

        for (int i = 0; i < 40; ++i)
        {
            juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
            hints = readHints (display, window);

            if (hints.pinnedAt (width, height))
                break;
        }

        XCloseDisplay (display);

        if (hints.pinnedAt (width, height))
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << "flags 0x" << std::hex << hints.flags << std::dec
                                             << ", min " << hints.minWidth << " x " << hints.minHeight
                                             << ", max " << hints.maxWidth << " x " << hints.maxHeight;
    }
}

TEST (MainWindow, TellsTheWindowManagerItsSizeIsFixed)
{
    HelloWorldWindow window;

    ASSERT_EQ (window.getWidth(), 432);
    ASSERT_EQ (window.getHeight(), 710);
    EXPECT_TRUE (settlesPinnedAt (window, 432, 710)) << "once shown and painted";

    // The program's own moves replace the window's hints.
    window.setTopLeftPosition (20, 30);
    EXPECT_TRUE (settlesPinnedAt (window, 432, 710)) << "after a move";

    // Idle for a while, the framework lets go of the back buffer, and its next paint
    // places the window again.
    juce::MessageManager::getInstance()->runDispatchLoopUntil (3500);
    window.repaint();
    EXPECT_TRUE (settlesPinnedAt (window, 432, 710)) << "after a paint from idle";
}
