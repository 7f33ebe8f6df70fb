#include "ListenCommand.h"
#include "RenderCommand.h"

#include <iostream>

namespace
{
    void printUsage (std::ostream& out)
    {
        out << "usage: " << RenderCommand::usage << "\n       " << ListenCommand::usage << std::endl;
    }
}

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

    // Asking for the usage is a success; anything else unknown is a mistake.
    if (command == "--help" || command == "-h")
    {
        printUsage (std::cout);
        return 0;
    }

    printUsage (std::cerr);
    return 2;
}
