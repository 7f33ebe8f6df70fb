#pragma once

#include <juce_core/juce_core.h>
#include <map>
#include <optional>
#include <stdexcept>

/**
    The "--flag value" pairs of one tocksley-cli command, read strictly: every
    flag must be known, appear once and carry a value, and numbers must be
    finite and whole where whole numbers are asked for.

    Every fault throws Error with a one-line message that names the flag.
*/
class CommandLineOptions
{
public:
    struct Error : std::runtime_error
    {
        using std::runtime_error::runtime_error;
    };

    CommandLineOptions (const juce::StringArray& arguments, const juce::StringArray& knownFlags);

    bool has (const juce::String& flag) const;

    /** The flag's text, or the fallback when it was not given. */
    juce::String getText (const juce::String& flag, const juce::String& fallback) const;

    /** A finite number within [minimum, maximum]. */
    double getNumber (const juce::String& flag, double fallback, double minimum, double maximum) const;

    /** A whole number within [minimum, maximum]. */
    int getInteger (const juce::String& flag, int fallback, int minimum, int maximum) const;

private:
    std::map<juce::String, juce::String> values;
};
