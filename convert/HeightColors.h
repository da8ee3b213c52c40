#pragma once

#include <QString>
#include <QtGlobal>

// One band of the height colour table: heights up to `bound` metres get the
// colour (0..255 per component).
struct HeightBand
{
    qint32 bound;
    quint32 red;
    quint32 green;
    quint32 blue;
};

constexpr int HeightBandCount = 12;
extern const HeightBand heightColors[HeightBandCount];

// Index into heightColors for a height in metres.
int heightBand(float height);

// Colour of a height, each component in 0.0 .. 1.0.
void heightColor(float height, float &red, float &green, float &blue);

// The band whose colour is red, green, blue (0..255 each), or -1: tiles
// keep colours, not heights, so this is how a height is read back.
int heightBandOfColor(int red, int green, int blue);

// The band's range of metres in the words the program shows it with
// ("do 0 m", "1–200 m", "od 1801 m"); empty for a band that is not one.
QString heightBandText(int band);
