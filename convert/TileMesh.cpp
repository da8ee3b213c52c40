#include "TileMesh.h"

#include "HgtTile.h"
#include "TileMeshBuilder.h"

void allocateVertices(QVector<float> &vertices, qsizetype count)
{
    vertices = QVector<float>();
    if (count <= 0)
        return;
    QArrayDataPointer<float> block(QTypedArrayData<float>::allocate(count), count);
    Q_CHECK_PTR(block.data());
    vertices = QVector<float>(std::move(block));
}

bool createTileMesh(const char *data, int size, QVector<float> &vertices, int lon, int lat, int q)
{
    vertices.clear();
    if (!data || size != HgtTile::FileSize || q < 1)
        return false;
    const TileMeshBuilder builder(data, lon, lat, q);
    allocateVertices(vertices, builder.floatCount());
    builder.buildColumns(vertices.data(), 0, builder.columnCount());
    return true;
}
