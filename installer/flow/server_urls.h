#pragma once

// Base URLs on the download server, whose host name is fixed at build time.
extern const char kAppBaseUrl[];      // "http://<host>/archives/app/"
extern const char kContentBaseUrl[];  // "http://<host>/zq/res/"
