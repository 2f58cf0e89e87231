#pragma once

// Starts the command line (no application name; the caller's environment and
// current folder) and waits for the process to end. 0 once it has ended, 2
// when it could not be started. Its exit code is not read.
int ExecuteAndWait(const char* commandLine);
