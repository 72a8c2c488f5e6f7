#pragma once

#include "cli/cli.h"

#include <sstream>
#include <string>
#include <vector>

// What a run of the command line printed and returned.
struct CliResult
{
    int status;
    std::string out;
    std::string err;
};

// Runs the command line in this process, as "3ds2vnp ARGS...".
inline CliResult RunCli(std::vector<std::string> args)
{
    args.insert(args.begin(), "3ds2vnp");
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}
