#include "HeightColors.h"

const HeightBand heightColors[HeightBandCount] = {
    {0, 0, 125, 255},
    {200, 180, 220, 172},
    {300, 212, 233, 186},
    {400, 236, 242, 196},
    {500, 236, 224, 174},
    {600, 229, 207, 152},
    {800, 218, 185, 141},
    {1000, 212, 164, 132},
    {1200, 118, 152, 131},
    {1400, 173, 148, 118},
    {1800, 138, 122, 93},
    {1801, 0, 0, 0},
};

int heightBand(float height)
{
    constexpr int last = HeightBandCount - 1;
    if (height >= heightColors[last].bound)
        return last;
    int band = 0;
    while (heightColors[band].bound < height)
        ++band;
    return band;
}

void heightColor(float height, float &red, float &green, float &blue)
{
    const HeightBand &c = heightColors[heightBand(height)];
    red = float(c.red / 255.0);
    green = float(c.green / 255.0);
    blue = float(c.blue / 255.0);
}

int heightBandOfColor(int red, int green, int blue)
{
    for (int band = 0; band < HeightBandCount; ++band) {
        const HeightBand &c = heightColors[band];
        if (int(c.red) == red && int(c.green) == green && int(c.blue) == blue)
            return band;
    }
    return -1;
}

QString heightBandText(int band)
{
    if (band < 0 || band >= HeightBandCount)
        return QString();
    if (band == 0)
        return QStringLiteral("do %1 m").arg(heightColors[0].bound);
    if (band == HeightBandCount - 1)
        return QStringLiteral("od %1 m").arg(heightColors[band].bound);
    return QStringLiteral("%1–%2 m").arg(heightColors[band - 1].bound + 1).arg(heightColors[band].bound);
}
