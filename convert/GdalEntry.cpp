#include "GdalModule.h"
#include "GdalSetup.h"
#include "MosaicWarper.h"

#include <QtGlobal>

// The one symbol the module exports.
extern "C" Q_DECL_EXPORT const GdalModule *rzmapGdalModule()
{
    GdalSetup::ensure();
    static const GdalModule module{
        sizeof(GdalModule),
        [](DemRaster &raster, const QString &path, FileFailure *failure) {
            return raster.openWithGdal(path, failure);
        },
        MosaicWarper::openDataset,
        MosaicWarper::closeDataset,
        MosaicWarper::warpInto,
        GeoTiff::encodeWithGdal,
    };
    return &module;
}
