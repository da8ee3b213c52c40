#include "ViewExtent.h"

#include <cmath>

namespace ViewExtentMath {

std::optional<int> wheelTurn(QPoint angleDelta, QPoint pixelDelta, Qt::ScrollPhase phase)
{
    const QPoint delta = angleDelta.isNull() ? pixelDelta : angleDelta;
    if (delta.isNull() && phase != Qt::NoScrollPhase)
        return std::nullopt;
    return delta.y() != 0 ? delta.y() : delta.x();
}

bool zoom(ViewExtent &e, int delta, double stepX, double stepY)
{
    const int c = delta > 0 ? 1 : -1;
    ViewExtent n = e;
    n.left = float(double(e.left) + stepX * c);
    n.right = float(double(e.right) - stepX * c);
    n.bottom = float(double(e.bottom) + stepY * c);
    n.top = float(double(e.top) - stepY * c);
    if (c > 0) {
        // Ten steps from the initial extent make it empty, up to rounding:
        // treat anything below a ten-thousandth of a step as empty.
        const double minWidth = 2.0 * stepX * 1e-4;
        const double minHeight = 2.0 * stepY * 1e-4;
        if (double(n.right) - double(n.left) <= minWidth
            || double(n.top) - double(n.bottom) <= minHeight)
            return false;
    }
    e = n;
    return true;
}

void pan(ViewExtent &e, QPoint press, QPoint release, int widthPx, int heightPx)
{
    if (widthPx <= 0 || heightPx <= 0)
        return;
    const int dx = press.x() - release.x();
    const int dy = press.y() - release.y();
    const float sx = (e.right - e.left) / widthPx;
    const float sy = (e.top - e.bottom) / heightPx;
    e.left += dx * sx;
    e.right += dx * sx;
    e.top -= dy * sy;
    e.bottom -= dy * sy;
}

QPointF mapPointIn(const QRect &window, QSize widget, QPoint pixel)
{
    return QPointF(window.x() + (pixel.x() + 0.5) * window.width() / qMax(1, widget.width()),
                   window.y() + (pixel.y() + 0.5) * window.height() / qMax(1, widget.height()));
}

QPointF mapPointIn(const ViewExtent &e, QSize widget, QPoint pixel)
{
    return QPointF(e.left + (pixel.x() + 0.5) * (double(e.right) - e.left) / qMax(1, widget.width()),
                   e.top - (pixel.y() + 0.5) * (double(e.top) - e.bottom) / qMax(1, widget.height()));
}

QRect windowRect(const ViewExtent &e)
{
    const int left = int(std::trunc(e.left));
    const int top = int(std::trunc(e.top));
    const int width = int(std::trunc(e.right - e.left));
    const int height = int(std::trunc(e.bottom - e.top));
    return QRect(left, top, width, height);
}

} // namespace ViewExtentMath
