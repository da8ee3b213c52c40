#pragma once

#include <QString>

// Why a file could not be read or written: a kind, and for system failures
// the errno value, so the reason can be told in the user's words.
struct FileFailure
{
    enum Kind {
        None,
        System,           // code holds errno
        NotRegularFile,   // fifo, device, directory: never opened
        TooLarge,         // larger than the reader accepts
        OutOfMemory,      // the contents could not be allocated
        ShortRead,        // fewer bytes than the file's size (it changed)
        ReadOnlyTarget,   // the existing tile has no write permission
        DamagedArchive,   // a zip archive cannot be read; detail says why
        SizeMismatch,     // an archive member's data and declared size differ
        NotRaster,        // GDAL cannot read it as a raster
        NoGeoreference,   // a raster without a place on the Earth
        UnknownCrs,       // a raster in a coordinate system that cannot be
                          // turned into longitude and latitude
        NotOneBand,       // a raster of code bands, not one
        UnknownUnit,      // a raster's heights in a unit (detail) not metres or feet
        CoversNoTile,     // a raster with no data inside any tile N00-89 E000-099
        RasterRead,       // a raster's data could not be read while warping
    };

    Kind kind = None;
    int code = 0;
    QString detail; // a system text where no errno is known, a raster's unit

    static FileFailure system(int errnoValue) { return FileFailure{System, errnoValue, {}}; }
    static FileFailure of(Kind kind) { return FileFailure{kind, 0, {}}; }

    bool isFailure() const { return kind != None; }
    // For the command-line tools: "No space left on device".
    QString english() const;
    // For the window: "na disku není volné místo".
    QString czech() const;
};
