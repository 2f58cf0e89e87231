#include "flow/run_paths.h"

#include <cstring>

#include "flow/path_compose.h"

int ComposeRunPaths(const char* appBaseUrl, const char* tempFolder, RunPaths& paths) {
  std::memset(&paths, 0, sizeof paths);
  int failed = CopyPath(paths.appBaseUrl, appBaseUrl);
  failed |= CopyPath(paths.workingFolder, tempFolder);
  failed |= AppendToPath(paths.workingFolder, "korvane\\");
  failed |= CopyPath(paths.contentsFolder, paths.workingFolder);
  failed |= AppendToPath(paths.contentsFolder, "builtin-contents\\");
  failed |= CopyPath(paths.setupPath, paths.workingFolder);
  failed |= AppendToPath(paths.setupPath, "setup.exe");
  return failed;
}

std::string SetupCommandLine(const char* setupPath) {
  std::string commandLine = "\"";
  commandLine += setupPath;
  commandLine += '"';
  return commandLine;
}
