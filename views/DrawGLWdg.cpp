#include "DrawGLWdg.h"

#include "BorderOutline.h"
#include "ChgtTile.h"
#include "ChgtTileReader.h"
#include "MapKeys.h"
#include "ProgressDlg.h"
#include "RepaintNow.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWheelEvent>
#include <QtGlobal>

#include <memory>

namespace {

constexpr int VertexBytes = ChgtTile::VertexBytes;
constexpr int TriangleBytes = 3 * VertexBytes;
constexpr double ZoomStepX = 0.45;
constexpr double ZoomStepY = 0.15;

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
    if (isValid()) {
        makeCurrent();
        uploadFiles(srcFiles);
        doneCurrent();
    } else {
        // No context before the view is first shown: initializeGL loads them.
        pendingFiles += srcFiles;
    }
    updateGL();
    return true;
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

    const QStringList files = pendingFiles;
    pendingFiles.clear();
    uploadFiles(files);
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

    for (int i = 0; i < tileBuffers.size(); ++i) {
        emit sProgress(100 * i / int(tileBuffers.size()));
        if (!canDraw)
            continue;
        bufferFunctions.bindBuffer(GL_ARRAY_BUFFER, tileBuffers[i]);
        glVertexPointer(3, GL_FLOAT, VertexBytes, PositionOffset);
        glColorPointer(3, GL_FLOAT, VertexBytes, ColorOffset);
        glDrawArrays(GL_TRIANGLES, 0, tileVertexCounts[i]);
    }

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

    emit sProgress(100);
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
    const QStringList reload = tilePaths;
    deleteBuffers(ctx && QOpenGLContext::currentContext() == ctx);
    if (surface)
        ctx->doneCurrent();
    pendingFiles = reload + pendingFiles;
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

void DrawGLWdg::uploadFiles(const QStringList &files)
{
    if (!bufferFunctions.isComplete())
        return;
    for (const QString &path : files)
        uploadTile(path);
}

bool DrawGLWdg::canUploadNow() const
{
    return isValid() && bufferFunctions.isComplete();
}

void DrawGLWdg::addTile(const QString &path, const QByteArray &floats)
{
    if (!isValid()) {
        pendingFiles << path;
        return;
    }
    makeCurrent();
    if (bufferFunctions.isComplete())
        uploadTriangles(path, floats);
    doneCurrent();
}

bool DrawGLWdg::uploadTile(const QString &path)
{
    // Held only for the upload: the vertex data lives in the buffer.
    QByteArray data;
    if (!ChgtTileReader::readTriangles(path, data))
        return false;
    return uploadTriangles(path, data);
}

std::unique_ptr<GlUploader> DrawGLWdg::makeUploader(int threads)
{
    if (!canUploadNow())
        return nullptr;
    auto uploader = std::make_unique<GlUploader>(context(), threads, glLookup);
    if (!uploader->isValid())
        return nullptr;
    return uploader;
}

void DrawGLWdg::addBuffer(const QString &path, GLuint buffer, qint64 bytes)
{
    if (buffer == 0) {
        qWarning("DrawGLWdg: %s could not be uploaded to the graphics memory and is left out",
                 qPrintable(QDir::toNativeSeparators(path)));
        return;
    }
    tileBuffers.append(buffer);
    tileVertexCounts.append(triangleVertexCount(bytes));
    tilePaths.append(path);
}

bool DrawGLWdg::uploadTriangles(const QString &path, const QByteArray &data)
{
    const GLuint id = uploadBuffer(data);
    addBuffer(path, id, data.size());
    return id != 0;
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
    if (contextCurrent && bufferFunctions.deleteBuffers) {
        if (!tileBuffers.isEmpty())
            bufferFunctions.deleteBuffers(GLsizei(tileBuffers.size()), tileBuffers.constData());
        if (borderBuffer != 0)
            bufferFunctions.deleteBuffers(1, &borderBuffer);
    }
    tileBuffers.clear();
    tileVertexCounts.clear();
    tilePaths.clear();
    borderBuffer = 0;
    borderBytes = 0;
}
