#include "ReferenceMesh.h"

#include <QtEndian>

#include <cstring>

namespace {

struct Band
{
    int upTo;
    int red, green, blue;
};

const Band bands[] = {
    {0, 0, 125, 255},      {200, 180, 220, 172},  {300, 212, 233, 186},  {400, 236, 242, 196},
    {500, 236, 224, 174},  {600, 229, 207, 152},  {800, 218, 185, 141},  {1000, 212, 164, 132},
    {1200, 118, 152, 131}, {1400, 173, 148, 118}, {1800, 138, 122, 93},  {1801, 0, 0, 0},
};

void appendFloat(QByteArray &out, float value)
{
    char bytes[4];
    qToLittleEndian<float>(value, bytes);
    out.append(bytes, 4);
}

} // namespace

QByteArray referenceMesh(const QByteArray &hgt, int lon, int lat, int q)
{
    QByteArray out;
    const qint64 side = 1199 / q + 1;
    out.reserve(side * side * 144);
    float height = 0;
    for (int c = 1; c <= 1200; c += q) {
        const float x = float(c / 1200.0 + lon);
        for (int r = 1; r <= 1200; r += q) {
            if (c <= 1199 && r <= 1199) {
                const int at = 2 * ((1201 - r) * 1201 + c);
                const auto hi = quint8(hgt[at]);
                const auto lo = quint8(hgt[at + 1]);
                height = float(qint16(quint16(hi << 8 | lo)));
            }
            const float y = float(r / 1200.0 + lat);
            const Band *band = &bands[11];
            if (height < 1801) {
                band = bands;
                while (band->upTo < height)
                    ++band;
            }
            const float red = float(band->red / 255.0);
            const float green = float(band->green / 255.0);
            const float blue = float(band->blue / 255.0);
            const double d = q / 1200.0;
            const float xd = float(double(x) + d);
            const float yd = float(double(y) + d);
            const float corners[6][2] = {{x, y}, {xd, y}, {x, yd}, {x, yd}, {xd, yd}, {xd, y}};
            for (const auto &corner : corners) {
                appendFloat(out, corner[0]);
                appendFloat(out, corner[1]);
                appendFloat(out, 0.0f);
                appendFloat(out, red);
                appendFloat(out, green);
                appendFloat(out, blue);
            }
        }
    }
    return out;
}

Vertex vertexAt(const QByteArray &chgt, qint64 index)
{
    float f[6];
    for (int i = 0; i < 6; ++i)
        f[i] = qFromLittleEndian<float>(chgt.constData() + index * 24 + i * 4);
    return {f[0], f[1], f[2], f[3], f[4], f[5]};
}
