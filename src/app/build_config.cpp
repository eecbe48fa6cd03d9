#include "app/build_config.h"

#ifndef TIVOLNA_PRODUCT_SITE_URL
#define TIVOLNA_PRODUCT_SITE_URL "http://www.tivolna.ru"
#endif
#ifndef TIVOLNA_PRODUCT_SITE_NAME
#define TIVOLNA_PRODUCT_SITE_NAME "www.tivolna.ru"
#endif
#ifndef TIVOLNA_DIRECTORY_ROOT_URL
#define TIVOLNA_DIRECTORY_ROOT_URL "http://radio.tivolna.ru/"
#endif
#ifndef TIVOLNA_PLAYLIST_URL_PREFIX
#define TIVOLNA_PLAYLIST_URL_PREFIX "http://stream.tivolna.ru/playlist/radio.m3u?station"
#endif
// From the VERSION file (src/program.cmake).
#ifndef TIVOLNA_VERSION_TEXT
#error "TIVOLNA_VERSION_TEXT is set by the build"
#endif

namespace app {

const char kProductSiteUrl[] = TIVOLNA_PRODUCT_SITE_URL;
const char kProductSiteName[] = TIVOLNA_PRODUCT_SITE_NAME;
const char kDirectoryRootUrl[] = TIVOLNA_DIRECTORY_ROOT_URL;
const char kPlaylistUrlPrefix[] = TIVOLNA_PLAYLIST_URL_PREFIX;
const char kVersionText[] = TIVOLNA_VERSION_TEXT;

}  // namespace app
