#include "cli/cli.h"
#include "platform/file_system.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = platform::PrepareConsoleProgram(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments)
        pointers.push_back(argument.c_str());
    std::ios::sync_with_stdio(false);
    const int status =
        RunCommandLine(static_cast<int>(pointers.size()), pointers.data(), std::cout, std::cerr);
    // An interrupt that stopped the run ends it as the interrupt would
    // have, once its report is out.
    if (platform::StopRequested())
        platform::EndStoppedRun();
    return status;
}
