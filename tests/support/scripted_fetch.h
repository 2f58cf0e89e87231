#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/fetch_result.h"
#include "shared/transfer_progress.h"

// A stand-in for the fetch that FetchContentFiles is given: it fetches
// nothing, logs every call and fails the one it was told to. The function
// type takes no context, so the script is global: ScriptFetch before each use.
namespace support {

struct FetchCall {
  std::string directoryUrl, name, folder;
  TransferProgressFn progress;
};

// What the failing call returns; any code but FETCH_OK would do.
constexpr FetchResult kScriptedFailure = FETCH_HTTP_ERROR;

inline std::vector<FetchCall> g_fetchCalls;  // in call order
inline std::size_t g_fetchFailAt = 0;         // 1-based call that fails; 0: none

inline void ScriptFetch(std::size_t failAt) {
  g_fetchCalls.clear();
  g_fetchFailAt = failAt;
}

inline FetchResult RecordFetch(const char* directoryUrl, const char* name, const char* folder,
                               TransferProgressFn progress) {
  g_fetchCalls.push_back({directoryUrl, name, folder, progress});
  return g_fetchCalls.size() == g_fetchFailAt ? kScriptedFailure : FETCH_OK;
}

// A progress function to pass along; RecordFetch never calls it.
inline void NoProgress(std::int32_t, std::int32_t) {}

}  // namespace support
