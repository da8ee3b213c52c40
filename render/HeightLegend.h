#pragma once

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

class QPainter;

// What the colours of the map mean: the height bands from the highest to
// the lowest, each with its colour and its range in the words of the
// pointer readout. The window's legend lists them; chgt2png draws them
// into a corner of its picture.
namespace HeightLegend {

struct Entry
{
    int band; // index into heightColors
    QColor color;
    QString text;
};

// The twelve bands, highest first.
QVector<Entry> entries();

// Where the colour swatches of the drawn legend lie in a picture of that
// size, in the order of entries(): a column in the lower left corner whose
// place does not depend on the font, so it can be found again in the
// picture.
QVector<QRect> swatchRects(QSize picture);

// Draws the legend over the lower left corner of a picture of that size:
// a white box with a swatch and the range of each band. Nothing is drawn
// into a picture too small to hold it.
void draw(QPainter &painter, QSize picture);

} // namespace HeightLegend
