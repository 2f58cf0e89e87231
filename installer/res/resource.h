#pragma once

// Identifiers shared by the resource script and the code.
#define IDS_TITLE 103
#define IDD_PROGRESS 103
#define IDI_APP 107
#define IDC_APP_ICON 2
#define IDC_PROGRESS 1000
