// NextContentEntry, FileNameOffset and FetchContentFiles on arbitrary lists.
//
// Input: one byte whose value modulo 8 is the 1-based fetch that fails (0:
// none fails), the list (up to the first NUL), a NUL, then the content base
// URL (up to the next NUL). Both are passed in blocks of exactly their length
// plus the terminator.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "flow/content_list.h"
#include "fuzz_check.h"
#include "support/exact_block.h"
#include "support/scripted_fetch.h"

namespace {

// The list with each run of spaces made one space and none left at either
// end. Not a tokenizer: per byte it only decides whether a space is owed
// before the next other byte.
std::string Collapsed(const std::string& list) {
  std::string collapsed;
  bool spaceOwed = false;
  for (const char c : list) {
    if (c == ' ') {
      spaceOwed = !collapsed.empty();
    } else {
      if (spaceOwed) collapsed += ' ';
      collapsed += c;
      spaceOwed = false;
    }
  }
  return collapsed;
}

// The walk over a copy of list: each entry is a whole run of the list in
// place (non-empty, no space, its own bytes with a space or an end of the
// list on either side), entries come in order, joined by single spaces they
// give the collapsed list, and once exhausted the walk stays so. Returns the
// entries.
std::vector<std::string> CheckWalk(const std::string& list) {
  const auto block = support::TerminatedCopy(list);
  char* const begin = block.get();
  char* const end = begin + list.size();
  std::vector<std::string> entries;
  std::string joined;
  char* earliest = begin;  // where the next entry may start at the earliest
  char* cursor = begin;
  while (char* entry = NextContentEntry(&cursor)) {
    FUZZ_CHECK(entry >= earliest && entry < end);
    const std::string text = entry;
    const auto offset = static_cast<std::size_t>(entry - begin);
    const std::size_t after = offset + text.size();
    FUZZ_CHECK(!text.empty() && text.find(' ') == std::string::npos);
    FUZZ_CHECK(list.compare(offset, text.size(), text) == 0);
    FUZZ_CHECK(offset == 0 || list[offset - 1] == ' ');
    FUZZ_CHECK(after == list.size() || list[after] == ' ');
    earliest = entry + text.size() + 1;
    if (!joined.empty()) joined += ' ';
    joined += text;
    entries.push_back(text);
  }
  FUZZ_CHECK(joined == Collapsed(list));
  FUZZ_CHECK(NextContentEntry(&cursor) == nullptr);
  return entries;
}

// Just past the last '/': none after it, one right before it, or none at all.
void CheckFileNameOffset(const std::string& url) {
  const std::size_t offset = FileNameOffset(url);
  FUZZ_CHECK(offset <= url.size());
  FUZZ_CHECK(url.find('/', offset) == std::string::npos);
  FUZZ_CHECK(offset == 0 ? url.find('/') == std::string::npos : url[offset - 1] == '/');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t failAt = data[0] % 8;
  const char* bytes = reinterpret_cast<const char*>(data) + 1;
  const std::size_t rest = size - 1;
  const std::string list = fuzz::TextAt(bytes, rest);
  const std::string base =
      list.size() < rest ? fuzz::TextAt(bytes + list.size() + 1, rest - list.size() - 1) : std::string();

  const std::vector<std::string> entries = CheckWalk(list);
  CheckFileNameOffset(list);
  CheckFileNameOffset(base);

  // Every entry fetched in order up to the first failure, each as a
  // directory URL ending in '/' (or empty) and a file name without one that
  // join back to base + entry: the split at the last '/'.
  const auto walked = support::TerminatedCopy(list);
  const auto baseText = support::TerminatedCopy(base);
  const char folder[] = "C:\\Temp\\korvane\\builtin-contents\\";
  support::ScriptFetch(failAt);
  const FetchResult result =
      FetchContentFiles(walked.get(), baseText.get(), folder, support::RecordFetch, support::NoProgress);
  const bool fails = failAt != 0 && failAt <= entries.size();
  FUZZ_CHECK(result == (fails ? support::kScriptedFailure : FETCH_OK));
  const std::vector<support::FetchCall>& calls = support::g_fetchCalls;
  FUZZ_CHECK(calls.size() == (fails ? failAt : entries.size()));
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const support::FetchCall& call = calls[i];
    FUZZ_CHECK(call.directoryUrl + call.name == base + entries[i]);
    FUZZ_CHECK(call.name.find('/') == std::string::npos);
    FUZZ_CHECK(call.directoryUrl.empty() || call.directoryUrl.back() == '/');
    FUZZ_CHECK(call.folder == folder);
    FUZZ_CHECK(call.progress == support::NoProgress);
  }
  return 0;
}
