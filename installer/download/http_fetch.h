#pragma once

#include <cstdint>

#include "shared/fetch_result.h"
#include "shared/transfer_progress.h"

// Bytes asked for by each read of a transfer; 1024 at start. Written only by
// SetReadChunkSize. A transfer reads it once, when it allocates its buffer,
// and uses that size for every read, so a change applies from the next one.
extern std::uint32_t g_readChunkSize;

// Sets the read size. 0, or a size above the signed 32-bit range that the
// progress callback reports chunks in, keeps the current size.
void SetReadChunkSize(std::uint32_t bytes);

// HTTP GET of url (plain HTTP, port 80, whatever the scheme says) into
// localPath, replacing that file; progress, when not null, is called after
// each chunk is written. FETCH_OK only for a 2xx answer whose whole body
// (its Content-Length, when one was announced) was received and written out;
// a file that did not take every byte is FETCH_WRITE_FAILED. A partial file
// of a broken transfer stays on disk.
FetchResult FetchUrlToFile(const char* url, const char* localPath, TransferProgressFn progress);

// FetchUrlToFile(baseUrl + name, folder + name), or the bare name relative to
// the current folder when folder is null.
FetchResult FetchIntoFolder(const char* baseUrl, const char* name, const char* folder,
                            TransferProgressFn progress);
