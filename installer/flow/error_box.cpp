#include "flow/error_box.h"

#include <windows.h>

char g_appTitle[100];

int ShowErrorBox(const char* text) { return MessageBoxA(nullptr, text, g_appTitle, MB_OK); }
