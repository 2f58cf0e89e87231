#pragma once

// The application title (string 103), loaded once at start; the caption of
// the error box. Zero until loaded.
extern char g_appTitle[100];

// Shows text in a message box with no owner, g_appTitle as caption and an OK
// button alone; returns what the box returns.
int ShowErrorBox(const char* text);
