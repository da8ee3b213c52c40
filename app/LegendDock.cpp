#include "LegendDock.h"

#include "HeightLegend.h"

#include <QListWidget>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int SwatchSide = 16;
constexpr int BandRole = Qt::UserRole;

QIcon swatch(const QColor &color)
{
    QPixmap pixmap(SwatchSide, SwatchSide);
    pixmap.fill(color);
    // A dark frame, so the light bands stand out from the list.
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, SwatchSide - 1, SwatchSide - 1);
    return QIcon(pixmap);
}

} // namespace

LegendDock::LegendDock(QWidget *parent)
    : QDockWidget(QStringLiteral("Legenda"), parent)
    , bands(new QListWidget(this))
{
    setObjectName(QStringLiteral("dockLegend"));
    setAccessibleName(QStringLiteral("Legenda"));
    bands->setObjectName(QStringLiteral("listLegend"));
    bands->setAccessibleName(QStringLiteral("Výšková pásma"));
    bands->setAccessibleDescription(
        QStringLiteral("Barvy mapy a výšky, které znamenají, od nejvyšších po nejnižší; vybrané je pásmo pod ukazatelem myši."));
    bands->setIconSize(QSize(SwatchSide, SwatchSide));
    bands->setSelectionMode(QAbstractItemView::SingleSelection);
    bands->setUniformItemSizes(true);
    for (const HeightLegend::Entry &entry : HeightLegend::entries()) {
        auto *item = new QListWidgetItem(swatch(entry.color), entry.text, bands);
        item->setData(BandRole, entry.band);
    }
    setWidget(bands);
}

void LegendDock::showBand(int band)
{
    for (int row = 0; row < bands->count(); ++row) {
        QListWidgetItem *item = bands->item(row);
        if (item->data(BandRole).toInt() == band) {
            bands->setCurrentItem(item);
            bands->scrollToItem(item);
            return;
        }
    }
    bands->clearSelection();
    bands->setCurrentItem(nullptr);
}
