#include "HeightLegend.h"

#include "HeightColors.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace HeightLegend {

namespace {

// One row per band; the rows grow with the picture within readable bounds.
int rowHeight(QSize picture)
{
    return std::clamp(picture.height() / 30, 12, 28);
}

int padding(int row)
{
    return row / 2;
}

// The rows and the box's padding, from the corner.
int legendHeight(int row)
{
    return HeightBandCount * row + 2 * padding(row);
}

bool fits(QSize picture, int row)
{
    return legendHeight(row) + 2 * padding(row) <= picture.height() && 8 * row <= picture.width();
}

} // namespace

QVector<Entry> entries()
{
    QVector<Entry> list;
    for (int band = HeightBandCount - 1; band >= 0; --band) {
        const HeightBand &c = heightColors[band];
        list.push_back({band, QColor(int(c.red), int(c.green), int(c.blue)), heightBandText(band)});
    }
    return list;
}

QVector<QRect> swatchRects(QSize picture)
{
    const int row = rowHeight(picture);
    QVector<QRect> rects;
    if (!fits(picture, row))
        return rects;
    const int pad = padding(row);
    const int side = row * 3 / 4;
    const int top = picture.height() - pad - legendHeight(row) + pad;
    for (int i = 0; i < HeightBandCount; ++i)
        rects.push_back(QRect(2 * pad, top + i * row + (row - side) / 2, side, side));
    return rects;
}

void draw(QPainter &painter, QSize picture)
{
    const QVector<QRect> swatches = swatchRects(picture);
    if (swatches.isEmpty())
        return;
    const int row = rowHeight(picture);
    const int pad = padding(row);
    QFont font = painter.font();
    font.setPixelSize(std::max(8, row * 2 / 3));
    const QFontMetrics metrics(font, painter.device());
    const QVector<Entry> list = entries();
    int textWidth = 0;
    for (const Entry &e : list)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(e.text));

    painter.save();
    // In the picture's pixels, whatever window the map was drawn with.
    painter.resetTransform();
    painter.setWindow(QRect(QPoint(0, 0), picture));
    painter.setViewport(QRect(QPoint(0, 0), picture));
    painter.setClipping(false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int textLeft = swatches[0].right() + 1 + pad;
    const QRect box(pad, swatches[0].top() - (row - swatches[0].height()) / 2 - pad, textLeft + textWidth,
                    legendHeight(row));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setFont(font);
    for (int i = 0; i < list.size(); ++i) {
        // A dark frame, so the light bands stand out from the white box.
        painter.setPen(Qt::black);
        painter.setBrush(list[i].color);
        painter.drawRect(swatches[i].adjusted(0, 0, -1, -1));
        const QRect text(textLeft, swatches[i].center().y() - row / 2, textWidth, row);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, list[i].text);
    }
    painter.restore();
}

} // namespace HeightLegend
