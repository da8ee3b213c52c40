#include "DrawQtWdg.h"
#include "ui_DrawQtWdg.h"

#include "BorderOutline.h"
#include "MapKeys.h"
#include "ProgressDlg.h"
#include "RepaintNow.h"
#include "TilePolygons.h"
#include "TileReading.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

// Constants, so the window is set before any code runs.
float DrawQtWdg::viewLeft = DrawQtWdg::initialExtent.left;
float DrawQtWdg::viewRight = DrawQtWdg::initialExtent.right;
float DrawQtWdg::viewTop = DrawQtWdg::initialExtent.top;
float DrawQtWdg::viewBottom = DrawQtWdg::initialExtent.bottom;

DrawQtWdg::DrawQtWdg(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DrawQtWdg)
    , showBorder(true)
    , pressPos(0, 0)
    , progressDlg(nullptr)
{
    ui->setupUi(this);
    showBorder = true;
    progressDlg = new ProgressDlg(QStringLiteral("Qt widget"), this);
    connect(this, &DrawQtWdg::sProgress, progressDlg, &ProgressDlg::progressBar);
    loadBorder();
    setMouseTracking(true);
    // Taken by a click or Tab, for the keys of MapKeys.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Mapa kreslená pomocí Qt"));
    setAccessibleDescription(MapKeys::czechDescription());
    releaseTimer.setSingleShot(true);
    releaseTimer.setInterval(2000);
    connect(&releaseTimer, &QTimer::timeout, this, [this] { renderer.releaseBandImages(); });
}

DrawQtWdg::~DrawQtWdg()
{
    delete ui;
    delete progressDlg;
}

ViewExtent DrawQtWdg::viewExtent()
{
    return ViewExtent{viewLeft, viewRight, viewBottom, viewTop};
}

void DrawQtWdg::setViewExtent(const ViewExtent &extent)
{
    viewLeft = extent.left;
    viewRight = extent.right;
    viewBottom = extent.bottom;
    viewTop = extent.top;
}

void DrawQtWdg::resetViewExtent()
{
    setViewExtent(initialExtent);
}

void DrawQtWdg::loadBorder()
{
    border = BorderOutline::mapPoints(BorderOutline::readResource());
}

void DrawQtWdg::repaintQtWdg()
{
    progressDlg->setActionText(QStringLiteral("Repaint Qt widget"));
    progressDlg->show();
    progressDlg->startAction();
    repaintNow(this);
}

void DrawQtWdg::viewBorder(bool z)
{
    showBorder = z;
    repaintNow(this);
}

void DrawQtWdg::createHeightsBuffer(QStringList srcFiles)
{
    std::vector<PoolTask<TileReading::OpenedTile>> opening = TileReading::start(srcFiles, false);
    for (int i = 0; i < srcFiles.size(); ++i) {
        TileReading::OpenedTile tile = TileReading::take(opening[size_t(i)], srcFiles.at(i), false);
        if (tile.grid)
            content.addGrid(std::move(tile.grid));
        else
            content.addTriangles(tile.triangles);
    }
    repaintNow(this);
}

void DrawQtWdg::addTile(TilePolygons::FileTriangles &file)
{
    content.addTriangles(file);
}

void DrawQtWdg::addTileGrid(std::shared_ptr<const TileGrid> grid)
{
    content.addGrid(std::move(grid));
}

void DrawQtWdg::paintEvent(QPaintEvent *)
{
    {
        QPainter p(this);
        renderer.paint(p, size(), ViewExtentMath::windowRect(viewExtent()), content, border,
                       showBorder);
    }
    if (renderer.bandImageBytes() > 0)
        releaseTimer.start();
    emit sProgress(100);
}

void DrawQtWdg::wheelEvent(QWheelEvent *event)
{
    const std::optional<int> turn =
        ViewExtentMath::wheelTurn(event->angleDelta(), event->pixelDelta(), event->phase());
    if (!turn) {
        event->accept();
        return;
    }
    ViewExtent e = viewExtent();
    // A refused zoom-in (it would leave no map) still repaints, like any step.
    ViewExtentMath::zoom(e, *turn, zoomStepX, zoomStepY);
    setViewExtent(e);
    event->accept();
    repaintNow(this);
}

void DrawQtWdg::showStartExtent()
{
    resetViewExtent();
    repaintNow(this);
}

void DrawQtWdg::keyPressEvent(QKeyEvent *event)
{
    const MapKeys::Step step = MapKeys::forKey(event->key(), event->modifiers());
    if (step.action == MapKeys::Action::None) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (step.action == MapKeys::Action::Home) {
        showStartExtent();
        emit sStartExtentShown();
        return;
    }
    ViewExtent e = viewExtent();
    // A refused zoom-in still repaints, as the wheel's does.
    MapKeys::apply(step, e, zoomStepX, zoomStepY);
    setViewExtent(e);
    repaintNow(this);
}

void DrawQtWdg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressPos = event->position().toPoint();
}

void DrawQtWdg::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    ViewExtent e = viewExtent();
    ViewExtentMath::pan(e, pressPos, event->position().toPoint(), width(), height());
    setViewExtent(e);
    event->accept();
    repaintNow(this);
}

QColor DrawQtWdg::colorAt(QPointF lonLat)
{
    return renderer.colorAt(content, lonLat);
}

void DrawQtWdg::mouseMoveEvent(QMouseEvent *event)
{
    // Only reports where the pointer is: the map moves on release.
    const QPointF map = ViewExtentMath::mapPointIn(ViewExtentMath::windowRect(viewExtent()), size(),
                                                   event->position().toPoint());
    emit sPointerAt(map / 100.0);
    QWidget::mouseMoveEvent(event);
}

void DrawQtWdg::leaveEvent(QEvent *event)
{
    emit sPointerLeft();
    QWidget::leaveEvent(event);
}
