#pragma once

#include <QByteArray>

// A deliberately plain second implementation of the CHGT content of one HGT
// tile, written straight from the format rules, to compare output against.
QByteArray referenceMesh(const QByteArray &hgt, int lon, int lat, int q);

// The six floats of vertex `index` of a CHGT byte array.
struct Vertex
{
    float x, y, z, r, g, b;
};
Vertex vertexAt(const QByteArray &chgt, qint64 index);
