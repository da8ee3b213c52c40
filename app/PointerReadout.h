#pragma once

#include <QPointF>
#include <QString>

// What the status bar says about the place under the pointer, in Czech
// conventions: "49,8123° s. š.  15,4711° v. d.   401–500 m".
namespace PointerReadout {

// The height band of the colour table as a range of metres; empty for -1.
QString bandText(int band);

// Coordinates of lonLat (degrees), then the band when there is one.
QString text(QPointF lonLat, int band);

} // namespace PointerReadout
