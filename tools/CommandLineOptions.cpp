#include "CommandLineOptions.h"

#include <cmath>
#include <cstdlib>

CommandLineOptions::CommandLineOptions (const juce::StringArray& arguments, const juce::StringArray& knownFlags)
{
    for (int i = 0; i < arguments.size(); i += 2)
    {
        const auto& flag = arguments[i];

        if (! knownFlags.contains (flag))
            throw Error ("unknown option " + flag.toStdString());

        if (values.count (flag) != 0)
            throw Error (flag.toStdString() + " is given twice");

        if (i + 1 >= arguments.size())
            throw Error (flag.toStdString() + " needs a value");

        values[flag] = arguments[i + 1];
    }
}

bool CommandLineOptions::has (const juce::String& flag) const
{
    return values.count (flag) != 0;
}

juce::String CommandLineOptions::getText (const juce::String& flag, const juce::String& fallback) const
{
    const auto found = values.find (flag);
    return found != values.end() ? found->second : fallback;
}

double CommandLineOptions::getNumber (const juce::String& flag, double fallback, double minimum, double maximum) const
{
    const auto found = values.find (flag);

    if (found == values.end())
        return fallback;

    const auto text = found->second.toStdString();
    char* end = nullptr;
    const auto value = std::strtod (text.c_str(), &end);

    if (text.empty() || end != text.c_str() + text.size() || ! std::isfinite (value))
        throw Error (flag.toStdString() + " needs a number, not '" + text + "'");

    if (value < minimum || value > maximum)
        throw Error (flag.toStdString() + " must lie between " + juce::String (minimum).toStdString()
                     + " and " + juce::String (maximum).toStdString() + ", not " + text);

    return value;
}

int CommandLineOptions::getInteger (const juce::String& flag, int fallback, int minimum, int maximum) const
{
    const auto value = getNumber (flag, fallback, minimum, maximum);

    if (value != std::floor (value))
        throw Error (flag.toStdString() + " needs a whole number, not " + getText (flag, {}).toStdString());

    return (int) value;
}
