#include "GdalSetup.h"

#include <cpl_error.h>
#include <gdal.h>

#include <cstdio>
#include <mutex>

namespace {

// GDAL's own English words, for the user who wants to know more than the
// program's reason; never mixed into the reasons themselves.
void toStandardError(CPLErr level, CPLErrorNum, const char *message)
{
    if (level == CE_Debug || level == CE_None)
        return;
    std::fprintf(stderr, "GDAL %s: %s\n", level == CE_Warning ? "warning" : "error", message);
}

} // namespace

void GdalSetup::ensure()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CPLSetErrorHandler(toStandardError);
        GDALAllRegister();
        GDALSetCacheMax64(CacheBytes);
    });
}
