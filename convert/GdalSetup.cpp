#include "GdalSetup.h"

#include <gdal.h>

#include <mutex>

void GdalSetup::ensure()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        GDALSetCacheMax64(CacheBytes);
    });
}
