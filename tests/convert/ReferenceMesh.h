#pragma once

#include <QByteArray>

// A deliberately plain second implementation of the CHGT content of one HGT
// tile, written straight from the format rules, to compare output against.
QByteArray referenceMesh(const QByteArray &hgt, int lon, int lat, int q);
