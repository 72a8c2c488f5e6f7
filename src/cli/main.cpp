#include "cli/cli.h"
#include "writer/output_file.h"

#include <clocale>
#include <csignal>
#include <iostream>

#ifdef _WIN32
#include "platform/text_path.h"

#include <windows.h>

#include <string>
#include <vector>

// Windows hands the arguments over as UTF-16; inside they are UTF-8, and
// the console shows UTF-8 as such.
int wmain(int argc, wchar_t** wargv)
{
    std::setlocale(LC_ALL, "");
    ::SetConsoleOutputCP(CP_UTF8);
    OutputFile::RemoveTemporariesOnInterrupt();
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(platform::Narrow(wargv[i]));
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    std::ios::sync_with_stdio(false);
    return RunCommandLine(argc, argv.data(), std::cout, std::cerr);
}

#else

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // Large blocks (a model's bytes, its text, the write buffer) come from
    // the heap and go back to it, so that each conversion of a batch takes
    // the memory the one before gave back, instead of having the system map
    // new pages, zero them and unmap them again (and, with -j, interrupt
    // the other cores to forget them). What a conversion took stays until
    // the end of the run.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    // The output file's name is lower-cased by the user's locale.
    std::setlocale(LC_ALL, "");
    OutputFile::RemoveTemporariesOnInterrupt();
    // A reader that goes away (| head) makes the report fail, not the
    // conversions: the exit status tells.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    return RunCommandLine(argc, argv, std::cout, std::cerr);
}

#endif
