#include "ListenCommand.h"
#include "RenderCommand.h"

#include <iostream>

int main (int argc, char* argv[])
{
    juce::StringArray arguments;

    for (int i = 1; i < argc; ++i)
        arguments.add (juce::CharPointer_UTF8 (argv[i]));

    const auto command = arguments[0];
    arguments.remove (0);

    if (command == "render")
        return RenderCommand::run (arguments);

    if (command == "listen")
        return ListenCommand::run (arguments);

    std::cerr << "usage: " << RenderCommand::usage << "\n       " << ListenCommand::usage << std::endl;
    return 2;
}
