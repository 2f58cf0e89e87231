#include "flow/execute.h"

#include <windows.h>

#include <string>

namespace {

class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle) : handle_(handle) {}
  ~KernelHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

int ExecuteAndWait(const char* commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created = {};
  std::string writable = commandLine;  // CreateProcess may write into it
  if (!CreateProcessA(nullptr, &writable[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                      &startup, &created)) {
    return 2;
  }
  // Released in reverse: the thread handle first, then the process handle.
  const KernelHandle process(created.hProcess);
  const KernelHandle thread(created.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  return 0;
}
