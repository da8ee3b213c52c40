#pragma once

#include <QVector>

// Fills vertices with the CHGT content of one HGT tile: every q-th sample in
// both directions becomes one cell of two flat-coloured triangles. Returns
// false, leaving vertices empty, when data is null, size is not the size of
// an HGT tile or q is below 1.
bool createTileMesh(const char *data, int size, QVector<float> &vertices, int lon, int lat, int q);

// Makes vertices hold count floats without zeroing them first; the mesh
// overwrites every one, and zeroing 200 MB would cost as much again.
void allocateVertices(QVector<float> &vertices, qsizetype count);
