#include "cli/cli.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv)
{
    // The output file's name is lower-cased by the user's locale.
    std::setlocale(LC_ALL, "");
    std::ios::sync_with_stdio(false);
    return RunCommandLine(argc, argv, std::cout, std::cerr);
}
