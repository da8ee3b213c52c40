#pragma once

#include <QDockWidget>

class QListWidget;

// The legend of the map's colours: the height bands from the highest to
// the lowest, each an item with its colour as the icon and its range as
// the text (so a screen reader reads it). The band under the pointer is
// the selected item.
class LegendDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit LegendDock(QWidget *parent = nullptr);

    QListWidget *list() const { return bands; }

public slots:
    // Selects the band (an index into the colour table), or nothing for -1.
    void showBand(int band);
    void clearBand() { showBand(-1); }

private:
    QListWidget *bands;
};
