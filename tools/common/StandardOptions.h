#pragma once
// --help and --version, the same for every command-line tool: a tool's only
// argument being one of them prints the help text or "NAME VERSION" on
// standard output, and the tool ends with success.
#include "brenvoll-version.h"

#include <iostream>
#include <string>

// True when argv asked for the help or the version, which is printed then.
inline bool answeredStandardOption(int argc, char** argv, const char* name, const char* help)
{
    if (argc != 2) {
        return false;
    }
    const std::string option = argv[1];
    if (option == "--help" || option == "-h") {
        std::cout << help;
        return true;
    }
    if (option == "--version" || option == "-v") {
        std::cout << name << ' ' << kBrenvollVersion << '\n';
        return true;
    }
    return false;
}
