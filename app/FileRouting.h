#pragma once

#include <QStringList>

// Where files handed to the window from outside (the command line, a drop)
// go, by their names alone: CHGT tiles are opened in both views as
// "Otevřít..." opens them, HGT tiles, zip archives and elevation rasters
// go to the import dialog, anything else is named as not understood. Each
// list keeps the order given.
class FileRouting
{
public:
    QStringList tiles;
    QStringList sources;
    QStringList unknown;

    static FileRouting of(const QStringList &paths);

    // Whether anything would be opened or offered for import.
    bool hasWork() const { return !tiles.isEmpty() || !sources.isEmpty(); }
};
