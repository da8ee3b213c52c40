#include "DrawGLWdg.h"

#include "BorderOutline.h"
#include "ChgtTile.h"
#include "ChgtTileReader.h"
#include "LevelChoice.h"
#include "LevelMesh.h"
#include "MapKeys.h"
#include "MappedFile.h"
#include "ProgressDlg.h"
#include "RepaintNow.h"
#include "TileGrid.h"
#include "TileLevel.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWheelEvent>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int VertexBytes = ChgtTile::VertexBytes;
constexpr int TriangleBytes = 3 * VertexBytes;
constexpr double ZoomStepX = 0.45;
constexpr double ZoomStepY = 0.15;

// A level of a tile with at most this many cells is built whole, so pans
// and zooms at that level reuse it; finer ones only for what is in sight
// (the rule gives cells of at least half a pixel, so what is in sight is
// bounded by the window), with a margin for small pans.
constexpr qint64 WholeTileCells = 250 * 250;
constexpr int MarginDivisor = 8;

CellRange withMargin(const CellRange &range, int side)
{
    const int dc = std::max(1, (range.column1 - range.column0) / MarginDivisor);
    const int dr = std::max(1, (range.row1 - range.row0) / MarginDivisor);
    return CellRange{std::max(0, range.column0 - dc), std::min(side, range.column1 + dc),
                     std::max(0, range.row0 - dr), std::min(side, range.row1 + dr)};
}

// Byte offsets inside the interleaved vertex record.
const void *const PositionOffset = reinterpret_cast<const void *>(0);
const void *const ColorOffset = reinterpret_cast<const void *>(12);

} // namespace

float DrawGLWdg::viewLeft = DrawGLWdg::initialExtent.left;
float DrawGLWdg::viewRight = DrawGLWdg::initialExtent.right;
float DrawGLWdg::viewBottom = DrawGLWdg::initialExtent.bottom;
float DrawGLWdg::viewTop = DrawGLWdg::initialExtent.top;

DrawGLWdg::DrawGLWdg(QWidget *parent)
    : QOpenGLWidget(parent)
    , showBorder(true)
    , pressPos(0, 0)
    , progressDlg(nullptr)
    , borderBuffer(0)
    , borderBytes(0)
    , glLookup(GlBufferFunctions::currentContextLookup())
    , missingFunctionsReported(false)
{
    progressDlg = new ProgressDlg(QStringLiteral("OpenGL widget"), this);
    connect(this, &DrawGLWdg::sProgress, progressDlg, &ProgressDlg::progressBar);
    setMouseTracking(true);
    // Taken by a click or Tab, for the keys of MapKeys.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Mapa kreslená pomocí OpenGL"));
    setAccessibleDescription(MapKeys::czechDescription());
}

DrawGLWdg::~DrawGLWdg()
{
    // The base destroys the context after this body; a slot of a half
    // destroyed view must not run then.
    disconnect(contextConnection);
    if (isValid()) {
        makeCurrent();
        deleteBuffers(true);
        doneCurrent();
    }
    delete progressDlg;
}

ViewExtent DrawGLWdg::viewExtent()
{
    return ViewExtent{viewLeft, viewRight, viewBottom, viewTop};
}

void DrawGLWdg::setViewExtent(const ViewExtent &extent)
{
    viewLeft = extent.left;
    viewRight = extent.right;
    viewBottom = extent.bottom;
    viewTop = extent.top;
}

void DrawGLWdg::resetViewExtent()
{
    setViewExtent(initialExtent);
}

bool DrawGLWdg::isOpenGLAvailable()
{
    static const bool available = [] {
        QOpenGLContext probe;
        return probe.create();
    }();
    return available;
}

int DrawGLWdg::triangleVertexCount(qint64 bytes)
{
    if (bytes <= 0 || bytes > ChgtTileReader::MaxBytes)
        return 0;
    return int(bytes / TriangleBytes) * 3;
}

void DrawGLWdg::repaintGLWdg()
{
    progressDlg->setActionText(QStringLiteral("Repaint OpenGL widget"));
    progressDlg->show();
    progressDlg->startAction();
    updateGL();
}

void DrawGLWdg::viewBorder(bool z)
{
    showBorder = z;
    updateGL();
}

bool DrawGLWdg::createHeightsGenBuffer(QStringList srcFiles)
{
    loadFiles(srcFiles);
    updateGL();
    return true;
}

void DrawGLWdg::loadFiles(const QStringList &files)
{
    // Regular tiles need no context; the others wait for one.
    for (const QString &path : files) {
        MappedFile file;
        TileGrid grid;
        if (file.open(path, ChgtTileReader::MaxBytes))
            grid = TileGrid::recognise(file.data(), file.size());
        if (!grid.isNull()) {
            addTileGrid(std::make_shared<const TileGrid>(std::move(grid)));
            continue;
        }
        Entry entry;
        entry.path = path;
        entries.push_back(entry);
    }
    if (isValid()) {
        makeCurrent();
        loadWaitingTiles();
        doneCurrent();
    }
}

void DrawGLWdg::addTileGrid(std::shared_ptr<const TileGrid> grid)
{
    if (!grid || grid->isNull())
        return;
    Entry entry;
    entry.grid = std::move(grid);
    entries.push_back(std::move(entry));
}

int DrawGLWdg::tileCount() const
{
    return int(std::count_if(entries.begin(), entries.end(), [](const Entry &e) {
        return e.grid ? !e.leftOut : e.buffer != 0;
    }));
}

QVector<int> DrawGLWdg::vertexCounts() const
{
    QVector<int> counts;
    for (const Entry &e : entries) {
        if (e.grid && !e.leftOut)
            counts << e.grid->side() * e.grid->side() * 6;
        else if (!e.grid && e.buffer != 0)
            counts << e.vertexCount;
    }
    return counts;
}

QVector<int> DrawGLWdg::drawnLevels() const
{
    QVector<int> levels;
    for (const Entry &e : entries) {
        if (e.grid)
            levels << e.drawnLevel;
    }
    return levels;
}

void DrawGLWdg::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        QOpenGLWidget::mousePressEvent(e);
        return;
    }
    pressPos = e->position().toPoint();
}

void DrawGLWdg::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        QOpenGLWidget::mouseReleaseEvent(e);
        return;
    }
    ViewExtent extent = viewExtent();
    ViewExtentMath::pan(extent, pressPos, e->position().toPoint(), width(), height());
    setViewExtent(extent);
    e->accept();
    updateProjection();
    updateGL();
}

void DrawGLWdg::mouseMoveEvent(QMouseEvent *e)
{
    // Only reports where the pointer is: the map moves on release.
    emit sPointerAt(ViewExtentMath::mapPointIn(viewExtent(), size(), e->position().toPoint()));
    QOpenGLWidget::mouseMoveEvent(e);
}

void DrawGLWdg::leaveEvent(QEvent *e)
{
    emit sPointerLeft();
    QOpenGLWidget::leaveEvent(e);
}

void DrawGLWdg::wheelEvent(QWheelEvent *e)
{
    const std::optional<int> turn =
        ViewExtentMath::wheelTurn(e->angleDelta(), e->pixelDelta(), e->phase());
    if (!turn) {
        e->accept();
        return;
    }
    ViewExtent extent = viewExtent();
    ViewExtentMath::zoom(extent, *turn, ZoomStepX, ZoomStepY);
    setViewExtent(extent);
    e->accept();
    updateProjection();
    updateGL();
}

void DrawGLWdg::showStartExtent()
{
    resetViewExtent();
    updateProjection();
    updateGL();
}

void DrawGLWdg::keyPressEvent(QKeyEvent *e)
{
    const MapKeys::Step step = MapKeys::forKey(e->key(), e->modifiers());
    if (step.action == MapKeys::Action::None) {
        QOpenGLWidget::keyPressEvent(e);
        return;
    }
    e->accept();
    if (step.action == MapKeys::Action::Home) {
        showStartExtent();
        emit sStartExtentShown();
        return;
    }
    ViewExtent extent = viewExtent();
    MapKeys::apply(step, extent, ZoomStepX, ZoomStepY);
    setViewExtent(extent);
    updateProjection();
    updateGL();
}

void DrawGLWdg::initializeGL()
{
    glShadeModel(GL_SMOOTH);
    // Opaque: the widget is composed with its alpha, and 0 would let the
    // window behind show through instead of a white background.
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    // Every context gets its own look-up: the view gets a new context when
    // it moves to another top-level window.
    if (!bufferFunctions.isComplete()) {
        bufferFunctions.resolve(glLookup);
        if (!bufferFunctions.isComplete() && !missingFunctionsReported) {
            missingFunctionsReported = true;
            qWarning("DrawGLWdg: OpenGL buffer objects are not available; the map cannot be drawn");
        }
    }

    disconnect(contextConnection);
    contextConnection = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this,
                                &DrawGLWdg::onContextAboutToBeDestroyed, Qt::DirectConnection);

    loadBorder();
    loadWaitingTiles();
}

void DrawGLWdg::resizeGL(int w, int h)
{
    const qreal ratio = devicePixelRatioF();
    glViewport(0, 0, int(w * ratio), int(h * ratio));
    applyProjection();
}

void DrawGLWdg::paintGL()
{
    // The extent may have changed without a resizeGL in this context.
    applyProjection();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const bool canDraw = bufferFunctions.isComplete();
    glLoadIdentity();
    glPushMatrix();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);

    // The level rule sees the device pixels the extent is stretched over.
    const qreal ratio = devicePixelRatioF();
    const double pixelsPerDegreeX = width() * ratio / double(viewRight - viewLeft);
    const double pixelsPerDegreeY = height() * ratio / double(viewTop - viewBottom);
    levelCache.startFrame();
    const int n = int(entries.size());
    for (int i = 0; i < n; ++i) {
        emit sProgress(100 * i / n);
        Entry &entry = entries[size_t(i)];
        if (!canDraw)
            continue;
        if (entry.grid)
            drawGrid(entry, pixelsPerDegreeX, pixelsPerDegreeY);
        else if (entry.buffer != 0)
            drawBuffer(entry.buffer, entry.vertexCount);
    }
    // What this frame needed may exceed the budget; it is not kept.
    levelCache.shrinkTo(levelBudget, false, [this](GLuint id) { deleteBuffer(id); });

    if (canDraw && showBorder && borderBuffer != 0) {
        bufferFunctions.bindBuffer(GL_ARRAY_BUFFER, borderBuffer);
        glLineWidth(2.0f);
        glVertexPointer(3, GL_FLOAT, VertexBytes, PositionOffset);
        glColorPointer(3, GL_FLOAT, VertexBytes, ColorOffset);
        glDrawArrays(GL_LINE_STRIP, 0, GLsizei(borderBytes / VertexBytes));
    }

    if (canDraw)
        bufferFunctions.bindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glPopMatrix();

    // The calls above only queue the drawing; a timed repaint waits for it,
    // so the time it reports is the time the frame took.
    if (progressDlg->isTiming())
        glFinish();
    emit sProgress(100);
}

void DrawGLWdg::drawBuffer(GLuint buffer, int vertexCount)
{
    bufferFunctions.bindBuffer(GL_ARRAY_BUFFER, buffer);
    glVertexPointer(3, GL_FLOAT, VertexBytes, PositionOffset);
    glColorPointer(3, GL_FLOAT, VertexBytes, ColorOffset);
    glDrawArrays(GL_TRIANGLES, 0, vertexCount);
}

void DrawGLWdg::drawGrid(Entry &entry, double pixelsPerDegreeX, double pixelsPerDegreeY)
{
    entry.drawnLevel = 0;
    if (entry.leftOut)
        return;
    const TileGrid &grid = *entry.grid;
    const int k = LevelChoice::levelFor(grid.quantity(), pixelsPerDegreeX, pixelsPerDegreeY);
    const TileLevel level(grid, k, CellEdges::FarEdge::Shared);
    const CellRange visible = level.visibleCells(GeoBox{viewLeft, viewRight, viewBottom, viewTop});
    if (visible.isEmpty())
        return;
    // Runs across the cells' larger side on screen, so each rectangle is as
    // thick as it can be: llvmpipe's cost follows a triangle's length, not
    // its area. The picture is the same either way.
    const LevelMesh::Runs runs = std::fabs(pixelsPerDegreeY) > std::fabs(pixelsPerDegreeX)
        ? LevelMesh::Runs::InRows
        : LevelMesh::Runs::InColumns;
    const GlLevelCache::Buffer *cached = levelCache.find(&grid, k, runs, visible);
    if (!cached) {
        const CellRange whole = level.wholeTile();
        const CellRange range = whole.cellCount() <= WholeTileCells ? whole : withMargin(visible, level.side());
        const LevelMesh mesh(level, runs);
        const QByteArray vertices = mesh.vertices(range);
        // Cells all left out there: nothing to draw, and nothing failed.
        const bool noCells = vertices.isEmpty() && mesh.rectangleCount(range) == 0;
        const auto del = [this](GLuint id) { deleteBuffer(id); };
        // Room first, from buffers this frame does not draw.
        levelCache.shrinkTo(levelBudget - vertices.size(), true, del);
        const GLuint id = vertices.isEmpty() ? 0 : uploadBuffer(vertices);
        if (id == 0 && !noCells) {
            entry.leftOut = true;
            qWarning("DrawGLWdg: %s could not be uploaded to the graphics memory and is left out",
                     qPrintable(ChgtTile::fileName(grid.lat(), grid.lon())));
            return;
        }
        ++levelBuilds;
        GlLevelCache::Buffer buffer;
        buffer.grid = &grid;
        buffer.level = k;
        buffer.runs = runs;
        buffer.range = range;
        buffer.id = id;
        buffer.bytes = vertices.size();
        buffer.vertexCount = int(vertices.size() / VertexBytes);
        cached = &levelCache.add(buffer, del);
    }
    entry.drawnLevel = k;
    if (cached->vertexCount > 0)
        drawBuffer(cached->id, cached->vertexCount);
}

void DrawGLWdg::deleteBuffer(GLuint id)
{
    if (id != 0 && bufferFunctions.deleteBuffers)
        bufferFunctions.deleteBuffers(1, &id);
}

void DrawGLWdg::onContextAboutToBeDestroyed()
{
    // Delete the buffers while their context still exists and keep the
    // tiles' paths, so the next context loads the same map again.
    QOpenGLContext *ctx = context();
    std::unique_ptr<QOffscreenSurface> surface;
    if (ctx && QOpenGLContext::currentContext() != ctx) {
        surface = std::make_unique<QOffscreenSurface>();
        surface->setFormat(ctx->format());
        surface->create();
        ctx->makeCurrent(surface.get());
    }
    // The triangle tiles are read again from their files, in their place;
    // the levels are built again from the grids when next drawn.
    deleteBuffers(ctx && QOpenGLContext::currentContext() == ctx);
    if (surface)
        ctx->doneCurrent();
    bufferFunctions.clear();
}

void DrawGLWdg::loadBorder()
{
    borderBuffer = 0;
    borderBytes = 0;
    if (!bufferFunctions.isComplete())
        return;
    const QByteArray data = BorderOutline::readResource();
    if (data.isEmpty())
        return;
    borderBuffer = uploadBuffer(data);
    if (borderBuffer != 0)
        borderBytes = data.size();
    else
        qWarning("DrawGLWdg: the state border could not be uploaded to the graphics memory");
}

void DrawGLWdg::loadWaitingTiles()
{
    // A file that cannot be read, or a refused upload, drops its tile; so
    // does a context without buffer objects.
    const bool canUpload = bufferFunctions.isComplete();
    for (size_t i = 0; i < entries.size();) {
        Entry &entry = entries[i];
        if (!entry.grid && entry.buffer == 0 && (!canUpload || !uploadTile(entry)))
            entries.erase(entries.begin() + qsizetype(i));
        else
            ++i;
    }
}

bool DrawGLWdg::canUploadNow() const
{
    return isValid() && bufferFunctions.isComplete();
}

void DrawGLWdg::addTile(const QString &path, const QByteArray &floats)
{
    if (!isValid()) {
        // Read again when the view gets its context.
        Entry entry;
        entry.path = path;
        entries.push_back(entry);
        return;
    }
    if (!bufferFunctions.isComplete())
        return;
    makeCurrent();
    Entry entry;
    entry.path = path;
    entry.buffer = uploadBuffer(floats);
    entry.vertexCount = triangleVertexCount(floats.size());
    doneCurrent();
    if (entry.buffer == 0)
        qWarning("DrawGLWdg: %s could not be uploaded to the graphics memory and is left out",
                 qPrintable(QDir::toNativeSeparators(path)));
    else
        entries.push_back(entry);
}

bool DrawGLWdg::uploadTile(Entry &entry)
{
    // Held only for the upload: the vertex data lives in the buffer.
    QByteArray data;
    if (!ChgtTileReader::readTriangles(entry.path, data))
        return false;
    entry.buffer = uploadBuffer(data);
    entry.vertexCount = triangleVertexCount(data.size());
    if (entry.buffer == 0)
        qWarning("DrawGLWdg: %s could not be uploaded to the graphics memory and is left out",
                 qPrintable(QDir::toNativeSeparators(entry.path)));
    return entry.buffer != 0;
}

GLuint DrawGLWdg::uploadBuffer(const QByteArray &data)
{
    return bufferFunctions.upload(data);
}

void DrawGLWdg::applyProjection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(viewLeft, viewRight, viewBottom, viewTop, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void DrawGLWdg::updateProjection()
{
    if (!isValid())
        return;
    makeCurrent();
    resizeGL(width(), height());
    doneCurrent();
}

void DrawGLWdg::updateGL()
{
    // A visible view paints at once, so a timed repaint completes before
    // this returns; a hidden view paints when shown.
    if (isVisible())
        repaintNow(this);
    else
        update();
}

void DrawGLWdg::deleteBuffers(bool contextCurrent)
{
    const bool canDelete = contextCurrent && bufferFunctions.deleteBuffers;
    for (Entry &entry : entries) {
        if (canDelete && entry.buffer != 0)
            deleteBuffer(entry.buffer);
        entry.buffer = 0;
    }
    levelCache.clear(canDelete ? GlLevelCache::Delete([this](GLuint id) { deleteBuffer(id); })
                               : GlLevelCache::Delete());
    if (canDelete && borderBuffer != 0)
        deleteBuffer(borderBuffer);
    borderBuffer = 0;
    borderBytes = 0;
}
