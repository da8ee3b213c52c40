#pragma once

#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QRect>

#include <optional>

// The visible map area of a view: west, east, south and north edges in the
// view's own map units (hundredths of a degree for the painter view,
// degrees for the OpenGL view). Pure arithmetic, shared by both views.
struct ViewExtent
{
    float left;
    float right;
    float bottom;
    float top;

    bool operator==(const ViewExtent &o) const
    {
        return left == o.left && right == o.right && bottom == o.bottom && top == o.top;
    }
};

namespace ViewExtentMath {

// Where both views start: the whole country, in degrees.
constexpr ViewExtent InitialDegrees{11.0f, 20.0f, 48.3f, 51.3f};

// The same extent in other map units (100 per degree for the painter view).
constexpr ViewExtent scaled(const ViewExtent &e, double unitsPerDegree)
{
    return ViewExtent{float(double(e.left) * unitsPerDegree), float(double(e.right) * unitsPerDegree),
                      float(double(e.bottom) * unitsPerDegree), float(double(e.top) * unitsPerDegree)};
}

// The delta of one wheel turn, or nothing when the event is not a turn:
// touchpads send scroll-phase events without any delta, which must not
// zoom. The vertical delta counts, else the horizontal one (tilt wheels);
// a plain event without any delta is still a turn, with delta 0.
std::optional<int> wheelTurn(QPoint angleDelta, QPoint pixelDelta, Qt::ScrollPhase phase);

// One wheel step: delta > 0 zooms in, anything else (0 included) zooms out.
// Each edge moves by stepX (longitude) or stepY (latitude), worked out in
// double and stored as float. A zoom-in step that would leave the extent
// without a positive width or height (up to float rounding) is refused:
// the extent stays as it is and the function returns false.
bool zoom(ViewExtent &e, int delta, double stepX, double stepY);

// Pan once, on left-button release: the map follows the pointer from press
// to release. Scales are single precision, as the views compute them.
void pan(ViewExtent &e, QPoint press, QPoint release, int widthPx, int heightPx);

// The map point under the middle of a widget pixel: in the painter's
// window (as drawn, in its units) or in an extent stretched over the widget.
QPointF mapPointIn(const QRect &window, QSize widget, QPoint pixel);
QPointF mapPointIn(const ViewExtent &e, QSize widget, QPoint pixel);

// The painter's window: each value truncated toward zero separately, the
// height negative so north is at the top of the widget.
QRect windowRect(const ViewExtent &e);

} // namespace ViewExtentMath
