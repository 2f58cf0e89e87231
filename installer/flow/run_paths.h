#pragma once

#include <string>

#include "shared/path_buffer.h"

// The four path buffers of one run.
struct RunPaths {
  PathBuffer appBaseUrl;      // base URL of the setup program
  PathBuffer workingFolder;   // temp folder + "korvane\"
  PathBuffer contentsFolder;  // working folder + "builtin-contents\"
  PathBuffer setupPath;       // working folder + "setup.exe"
};

// Zero-fills paths and composes all four from the base URL and the temp
// folder (as the platform returns it, ending in a backslash). 0 when every
// one fits its buffer, non-zero otherwise (a temp folder over 234 characters).
int ComposeRunPaths(const char* appBaseUrl, const char* tempFolder, RunPaths& paths);

// The command line that starts the setup program: its path in double quotes,
// no arguments, so a path with spaces can never start another program.
std::string SetupCommandLine(const char* setupPath);
