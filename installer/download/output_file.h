#pragma once

#include <cstddef>
#include <cstdio>

// Owns one file open for writing and closes it when destroyed. Writes and
// the close are checked: a full disk, a quota or a drive that went away
// must fail the download, not leave a short file that counts as complete.
class OutputFile {
 public:
  // Takes file, which may be null (the open failed).
  explicit OutputFile(std::FILE* file) : file_(file) {}
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool IsOpen() const { return file_ != nullptr; }

  // Writes size bytes; false when not all of them were taken.
  bool Write(const void* data, std::size_t size);

  // Closes the file, which writes out what is still buffered; false when
  // that failed or no file is open. Later calls do nothing and return false.
  bool Close();

 private:
  std::FILE* file_;
};
