#pragma once
// Values fixed when the program is built.
namespace app {

// Scheme and host of the product's web site, without a trailing slash.
extern const char kProductSiteUrl[];
// The site's name as the footer shows it.
extern const char kProductSiteName[];
// The station directory: its root page (with the trailing slash; logo paths follow it) and
// its stream playlist address up to the query key, without the "=".
extern const char kDirectoryRootUrl[];
extern const char kPlaylistUrlPrefix[];
// The release as people read it.
extern const char kVersionText[];

}  // namespace app
