#pragma once

#include <cstddef>
#include <string>

#include "shared/fetch_result.h"
#include "shared/transfer_progress.h"

// The built-in content list: five "folder/file" entries separated by spaces.
// Writable because the walk splits it in place; it can be walked once.
extern char kContentList[];

// Re-entrant tokenizer: returns the next space-separated entry of the text at
// *cursor and overwrites the separator after it with a terminator; null when
// no entry is left. A run of spaces is one separator; no entry is ever empty.
char* NextContentEntry(char** cursor);

// Offset of the file name in a URL: just past its last '/', 0 when it has
// none. A backslash is not a separator.
std::size_t FileNameOffset(const std::string& url);

typedef FetchResult (*FetchIntoFolderFn)(const char* baseUrl, const char* name,
                                         const char* folder, TransferProgressFn progress);

// Fetches every entry of list, in order: the URL contentBaseUrl + entry is
// split at its last '/' into directory URL and file name, and the file lands
// flat in folder under that name. Splits list in place. Stops at the first
// failed fetch and returns its result; FETCH_OK when all were fetched.
FetchResult FetchContentFiles(char* list, const char* contentBaseUrl, const char* folder,
                              FetchIntoFolderFn fetch, TransferProgressFn progress);
