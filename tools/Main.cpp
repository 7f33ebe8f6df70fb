#include "RenderCommand.h"

#include <iostream>

int main (int argc, char* argv[])
{
    juce::StringArray arguments;

    for (int i = 1; i < argc; ++i)
        arguments.add (juce::CharPointer_UTF8 (argv[i]));

    if (arguments.size() > 0 && arguments[0] == "render")
    {
        arguments.remove (0);
        return RenderCommand::run (arguments);
    }

    std::cerr << "usage: " << RenderCommand::usage << std::endl;
    return 2;
}
