#include "flow/content_list.h"

char kContentList[] =
    "Gallery_North/wave_short01.krv Gallery_North/wave_short02.krv "
    "galleryeastern/paperlanternwalks.krv marble/pebble.krv Zeko/teaser.krv";

char* NextContentEntry(char** cursor) {
  char* entry = *cursor;
  while (*entry == ' ') ++entry;
  if (*entry == '\0') {
    *cursor = entry;
    return nullptr;
  }
  char* end = entry;
  while (*end != '\0' && *end != ' ') ++end;
  if (*end != '\0') *end++ = '\0';
  *cursor = end;
  return entry;
}

std::size_t FileNameOffset(const std::string& url) {
  const std::size_t slash = url.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

FetchResult FetchContentFiles(char* list, const char* contentBaseUrl, const char* folder,
                              FetchIntoFolderFn fetch, TransferProgressFn progress) {
  std::string url;  // reused for every entry
  char* cursor = list;
  for (char* entry = NextContentEntry(&cursor); entry != nullptr;
       entry = NextContentEntry(&cursor)) {
    url.clear();
    url += contentBaseUrl;
    url += entry;
    const std::size_t nameOffset = FileNameOffset(url);
    const std::string directoryUrl = url.substr(0, nameOffset);
    const FetchResult result = fetch(directoryUrl.c_str(), url.c_str() + nameOffset, folder, progress);
    if (result != FETCH_OK) return result;
  }
  return FETCH_OK;
}
