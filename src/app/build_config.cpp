#include "app/build_config.h"

#ifndef TIVOLNA_PRODUCT_SITE_URL
#define TIVOLNA_PRODUCT_SITE_URL "http://www.tivolna.ru"
#endif
#ifndef TIVOLNA_PRODUCT_SITE_NAME
#define TIVOLNA_PRODUCT_SITE_NAME "www.tivolna.ru"
#endif

namespace app {

const char kProductSiteUrl[] = TIVOLNA_PRODUCT_SITE_URL;
const char kProductSiteName[] = TIVOLNA_PRODUCT_SITE_NAME;
const char kVersionText[] = "1.4.1";

}  // namespace app
