#include "PointerReadout.h"

#include "HeightColors.h"

#include <QLocale>

namespace PointerReadout {

QString bandText(int band)
{
    return heightBandText(band);
}

QString text(QPointF lonLat, int band)
{
    const QLocale czech(QLocale::Czech);
    const double lat = lonLat.y();
    const double lon = lonLat.x();
    // South and west are shown as such: the map may be panned past them.
    QString place = QStringLiteral("%1° %2  %3° %4")
                        .arg(czech.toString(qAbs(lat), 'f', 4), lat < 0 ? QStringLiteral("j. š.") : QStringLiteral("s. š."),
                             czech.toString(qAbs(lon), 'f', 4), lon < 0 ? QStringLiteral("z. d.") : QStringLiteral("v. d."));
    const QString height = bandText(band);
    if (!height.isEmpty())
        place += QStringLiteral("   ") + height;
    return place;
}

} // namespace PointerReadout
