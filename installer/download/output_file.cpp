#include "download/output_file.h"

bool OutputFile::Write(const void* data, std::size_t size) {
  return file_ != nullptr && std::fwrite(data, 1, size, file_) == size;
}

bool OutputFile::Close() {
  if (file_ == nullptr) return false;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed;
}
