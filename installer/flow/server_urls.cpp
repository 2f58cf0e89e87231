#include "flow/server_urls.h"

// KORVANE_DOWNLOAD_HOST comes from the build configuration.
const char kAppBaseUrl[] = "http://" KORVANE_DOWNLOAD_HOST "/archives/app/";
const char kContentBaseUrl[] = "http://" KORVANE_DOWNLOAD_HOST "/zq/res/";
