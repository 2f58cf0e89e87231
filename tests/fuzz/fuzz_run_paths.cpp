// ComposeRunPaths on arbitrary base URLs and temp folders, both possibly
// longer than a path buffer. SetupCommandLine, a plain quoting, is left to
// the unit tests.
//
// Input: the base URL, a NUL, then the temp folder (up to the next NUL).
// Either one at 260 characters or more is passed as exactly 260 bytes with
// no terminator, all that CopyPath may read to refuse it.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "flow/run_paths.h"
#include "fuzz_check.h"
#include "support/exact_block.h"

namespace {

std::unique_ptr<char[]> TextBlock(const std::string& text) {
  if (text.size() < kPathBufferSize) return support::TerminatedCopy(text);
  return support::ExactCopy(std::string_view(text).substr(0, kPathBufferSize));
}

// Every buffer holds terminated text with only zeros after it; one whose
// whole text fits holds exactly that text.
void CheckBuffer(const PathBuffer& buffer, const std::string& expected) {
  const std::size_t length = strnlen(buffer, kPathBufferSize);
  FUZZ_CHECK(length < kPathBufferSize);
  for (std::size_t i = length; i < kPathBufferSize; ++i) FUZZ_CHECK(buffer[i] == '\0');
  if (expected.size() < kPathBufferSize) FUZZ_CHECK(expected == buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const std::string base = fuzz::TextAt(bytes, size);
  const std::string temp =
      base.size() < size ? fuzz::TextAt(bytes + base.size() + 1, size - base.size() - 1) : std::string();
  const auto baseText = TextBlock(base);
  const auto tempText = TextBlock(temp);

  RunPaths paths;
  std::memset(&paths, 0xA5, sizeof paths);  // whatever the stack held before
  const int result = ComposeRunPaths(baseText.get(), tempText.get(), paths);

  // The four paths as the header composes them, each checked whole.
  const std::string working = temp + "korvane\\";
  const std::string contents = working + "builtin-contents\\";
  const std::string setup = working + "setup.exe";
  const bool allFit = base.size() < kPathBufferSize && working.size() < kPathBufferSize &&
                      contents.size() < kPathBufferSize && setup.size() < kPathBufferSize;
  FUZZ_CHECK((result == 0) == allFit);
  CheckBuffer(paths.appBaseUrl, base);
  CheckBuffer(paths.workingFolder, working);
  CheckBuffer(paths.contentsFolder, contents);
  CheckBuffer(paths.setupPath, setup);
  return 0;
}
