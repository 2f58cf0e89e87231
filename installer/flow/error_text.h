#pragma once

// The download failure message: 75 bytes of code page 932, a single line
// feed between its two sentences, no carriage return.
extern const char kDownloadFailedText[];
