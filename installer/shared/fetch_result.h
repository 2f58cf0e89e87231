#pragma once

// Result of one download. Callers treat every code other than FETCH_OK alike.
// The numbers are part of the program's contract: never renumber them.
typedef int FetchResult;

enum : FetchResult {
  FETCH_OK = 0,                   // the whole body was stored
  FETCH_BAD_URL = 1,              // no "://", or no "/" after the host
  FETCH_CONNECT_FAILED = 2,       // InternetConnectA returned no handle
  FETCH_OPEN_REQUEST_FAILED = 3,  // HttpOpenRequestA returned no handle
  FETCH_SEND_FAILED = 4,          // HttpSendRequestA failed
  // 5 to 9 are unused on purpose.
  FETCH_READ_FAILED = 10,         // the body broke off or ended short of its Content-Length
  FETCH_HTTP_ERROR = 11,          // status outside 200-299, or unreadable
  FETCH_FILE_FAILED = 12,         // the local file could not be created
  FETCH_NO_MEMORY = 13,           // the read buffer could not be allocated
  FETCH_NO_INTERNET_LIBRARY = 14, // wininet.dll or one of its functions is missing
  FETCH_WRITE_FAILED = 15,        // the local file did not take every byte (a full disk)
};
