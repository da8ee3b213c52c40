#pragma once

#include <QVector>

// Fills vertices with the CHGT content of one HGT tile: every q-th sample in
// both directions becomes one cell of two flat-coloured triangles. Returns
// false, leaving vertices empty, when data is null, size is not the size of
// an HGT tile or q is below 1.
bool createTileMesh(const char *data, int size, QVector<float> &vertices, int lon, int lat, int q);
