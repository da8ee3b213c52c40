#include "TileMesh.h"

#include "HgtTile.h"
#include "TileMeshBuilder.h"

bool createTileMesh(const char *data, int size, QVector<float> &vertices, int lon, int lat, int q)
{
    vertices.clear();
    if (!data || size != HgtTile::FileSize || q < 1)
        return false;
    const TileMeshBuilder builder(data, lon, lat, q);
    vertices.resize(builder.floatCount());
    builder.buildColumns(vertices.data(), 0, builder.columnCount());
    return true;
}
