#pragma once

#include "ColoredPolygon.h"
#include "MapContent.h"
#include "MapPainter.h"
#include "TilePolygons.h"
#include "ViewExtent.h"

#include <QPoint>
#include <QPointF>
#include <QStringList>
#include <QVector>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class DrawQtWdg;
}

class ProgressDlg;

// The map page drawn with QPainter: every opened CHGT tile in order, a
// regular one as its grid at the level the window needs, any other as
// flat-coloured polygons, with the state border on top. Pans with a
// left-button drag (on release) and zooms with the wheel by fixed steps;
// with focus, the keys of MapKeys move and zoom it too.
class DrawQtWdg : public QWidget
{
    Q_OBJECT

public:
    explicit DrawQtWdg(QWidget *parent = nullptr);
    ~DrawQtWdg() override;

    // The view window is shared by every painter view, in hundredths of a
    // degree.
    static ViewExtent viewExtent();
    static void setViewExtent(const ViewExtent &extent);
    static void resetViewExtent();
    static constexpr ViewExtent initialExtent = ViewExtentMath::scaled(ViewExtentMath::InitialDegrees, 100.0);

    // One wheel step moves each edge by this many map units.
    static constexpr double zoomStepX = 45.0;
    static constexpr double zoomStepY = 15.0;

    // Adds the polygons of a file read elsewhere (TilePolygons::startReading),
    // taking them over, without repainting: an open that reads each file
    // once for both views adds them one by one as they are read, then
    // repaints.
    void addTile(TilePolygons::FileTriangles &file);
    // Appends a regular tile as the next entry, without repainting; the
    // grid is shared with the other view.
    void addTileGrid(std::shared_ptr<const TileGrid> grid);

    // The triangles of the tiles that are not grids.
    const QVector<ColoredPolygon> &storedPolygons() const { return content.polygons(); }
    const MapContent &mapContent() const { return content; }
    const QVector<QPointF> &borderPoints() const { return border; }
    // Colour of the topmost tile at lonLat (degrees), from its finest data;
    // invalid if none.
    QColor colorAt(QPointF lonLat);
    bool isBorderShown() const { return showBorder; }
    ProgressDlg *progressDialog() const { return progressDlg; }
    // The drawing code, so tests and benchmarks can pick its mode.
    MapPainter &mapPainter() { return renderer; }

signals:
    void sProgress(int percent);
    // The pointer is over the map at lonLat (degrees); it has left the view.
    void sPointerAt(QPointF lonLat);
    void sPointerLeft();
    // Home was pressed here: this view is back at the start-up window, and
    // the other view is to follow.
    void sStartExtentShown();

public slots:
    void repaintQtWdg();
    void viewBorder(bool z);
    void createHeightsBuffer(QStringList srcFiles);
    // Back to the window the program starts with, repainted.
    void showStartExtent();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void loadBorder();

    Ui::DrawQtWdg *ui;
    bool showBorder;
    QPoint pressPos;
    ProgressDlg *progressDlg;
    MapContent content;
    QVector<QPointF> border;
    MapPainter renderer;
    // Gives the painter's band images back when the view has rested.
    QTimer releaseTimer;

    static float viewLeft;
    static float viewRight;
    static float viewTop;
    static float viewBottom;
};
