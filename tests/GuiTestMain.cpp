#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <X11/Xlib.h>

// One JUCE initialisation for the tests that need a display. A JUCE application
// ignores X protocol errors, such as an atom missing without a window manager;
// a test program is no application, so it installs the same handling itself.
int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
