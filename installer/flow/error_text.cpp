#include "flow/error_text.h"

// This file is compiled with -fexec-charset=CP932: the literal is stored as
// code page 932 bytes whatever the source encoding is.
const char kDownloadFailedText[] =
    "ダウンロードできませんでした。\n"
    "ネットワークが繋がっているかご確認ください。";
