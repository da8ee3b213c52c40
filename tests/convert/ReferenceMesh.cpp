#include "ReferenceMesh.h"

#include <QtEndian>

namespace {

struct Band
{
    int upTo, red, green, blue;
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
                height = float(qint16(quint16(quint8(hgt[at]) << 8 | quint8(hgt[at + 1]))));
            }
            const float y = float(r / 1200.0 + lat);
            const Band *band = &bands[11];
            if (height < 1801) {
                band = bands;
                while (band->upTo < height)
                    ++band;
            }
            const float rgb[3] = {float(band->red / 255.0), float(band->green / 255.0), float(band->blue / 255.0)};
            const float xd = float(double(x) + q / 1200.0);
            const float yd = float(double(y) + q / 1200.0);
            const float corners[6][2] = {{x, y}, {xd, y}, {x, yd}, {x, yd}, {xd, yd}, {xd, y}};
            for (const auto &corner : corners) {
                for (float value : {corner[0], corner[1], 0.0f, rgb[0], rgb[1], rgb[2]})
                    appendFloat(out, value);
            }
        }
    }
    return out;
}
