#include "JUCEHelloWorldApplication.h"

START_JUCE_APPLICATION (JUCEHelloWorldApplication)
