// NextContentEntry, FileNameOffset and FetchContentFiles on arbitrary lists.
//
// Input: one byte whose value modulo 8 is the 1-based fetch that fails (0:
// none fails), the list (up to the first NUL), a NUL, then the content base
// URL (up to the next NUL).

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "flow/content_list.h"
#include "fuzz_check.h"

namespace {

struct Run {
  std::size_t offset;
  std::string text;
};

// The maximal runs of characters other than ' ', in order.
std::vector<Run> SpaceSeparatedRuns(const std::string& text) {
  std::vector<Run> runs;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t end = std::min(text.find(' ', i), text.size());
    runs.push_back({i, text.substr(i, end - i)});
    i = end;
  }
  return runs;
}

void CheckFileNameOffset(const std::string& url) {
  const std::size_t offset = FileNameOffset(url);
  FUZZ_CHECK(offset <= url.size());
  if (offset == 0) {
    FUZZ_CHECK(url.find('/') == std::string::npos);
  } else {
    FUZZ_CHECK(url[offset - 1] == '/');
    FUZZ_CHECK(url.find('/', offset) == std::string::npos);
  }
}

struct Call {
  std::string directoryUrl, name;
  const char* folder;
  TransferProgressFn progress;
};
std::vector<Call> g_calls;
std::size_t g_failAt;  // 1-based call that fails; 0: none
const FetchResult kFailure = FETCH_READ_FAILED;

FetchResult RecordFetch(const char* directoryUrl, const char* name, const char* folder,
                        TransferProgressFn progress) {
  g_calls.push_back({directoryUrl, name, folder, progress});
  return g_calls.size() == g_failAt ? kFailure : FETCH_OK;
}

void NoProgress(std::int32_t, std::int32_t) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t failAt = data[0] % 8;
  const char* bytes = reinterpret_cast<const char*>(data) + 1;
  const std::size_t rest = size - 1;
  const std::string list = fuzz::TextAt(bytes, rest);
  const std::string base =
      list.size() < rest ? fuzz::TextAt(bytes + list.size() + 1, rest - list.size() - 1) : std::string();
  const std::vector<Run> runs = SpaceSeparatedRuns(list);

  // The walk: each entry is the next run, in place, and then none is left.
  const auto text = fuzz::TerminatedCopy(list);
  char* cursor = text.get();
  for (const Run& run : runs) {
    char* entry = NextContentEntry(&cursor);
    FUZZ_CHECK(entry == text.get() + run.offset);
    FUZZ_CHECK(std::strlen(entry) == run.text.size());
    FUZZ_CHECK(run.text == entry);
  }
  FUZZ_CHECK(NextContentEntry(&cursor) == nullptr);
  FUZZ_CHECK(NextContentEntry(&cursor) == nullptr);

  CheckFileNameOffset(list);
  CheckFileNameOffset(base);

  // Every entry fetched in order up to the first failure, each as directory
  // URL + file name split at the last '/' of base + entry.
  const auto walked = fuzz::TerminatedCopy(list);
  const auto baseText = fuzz::TerminatedCopy(base);
  char folder[] = "C:\\Temp\\korvane\\builtin-contents\\";
  g_calls.clear();
  g_failAt = failAt;
  const FetchResult result = FetchContentFiles(walked.get(), baseText.get(), folder, RecordFetch, NoProgress);
  const bool fails = failAt != 0 && failAt <= runs.size();
  FUZZ_CHECK(result == (fails ? kFailure : FETCH_OK));
  FUZZ_CHECK(g_calls.size() == (fails ? failAt : runs.size()));
  for (std::size_t i = 0; i < g_calls.size(); ++i) {
    const Call& call = g_calls[i];
    const std::string url = base + runs[i].text;
    FUZZ_CHECK(call.directoryUrl + call.name == url);
    FUZZ_CHECK(call.name.find('/') == std::string::npos);
    FUZZ_CHECK(call.directoryUrl.empty() || call.directoryUrl.back() == '/');
    FUZZ_CHECK(call.directoryUrl.size() == FileNameOffset(url));
    FUZZ_CHECK(call.folder == folder);
    FUZZ_CHECK(call.progress == NoProgress);
  }
  return 0;
}
