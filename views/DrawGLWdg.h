#pragma once

#include "GlBufferFunctions.h"
#include "GlUploader.h"
#include "ViewExtent.h"

#include <QMetaObject>
#include <QOpenGLWidget>
#include <QPoint>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class ProgressDlg;
class TileGrid;
class QOpenGLContext;

// The OpenGL map page: every opened CHGT tile goes unchanged into one static
// vertex buffer and is drawn with the fixed-function pipeline, the state
// border on top as a black line strip. Wheel zooms, a left-button drag pans;
// with focus, the keys of MapKeys move and zoom it too.
class DrawGLWdg : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit DrawGLWdg(QWidget *parent = nullptr);
    ~DrawGLWdg() override;

    // The visible area in degrees, shared by every instance.
    static ViewExtent viewExtent();
    static void setViewExtent(const ViewExtent &extent);
    static void resetViewExtent();
    static constexpr ViewExtent initialExtent = ViewExtentMath::InitialDegrees;

    // Whether this platform can create an OpenGL context at all; without
    // one the view must not be put into a window.
    static bool isOpenGLAvailable();

    // Vertices of the whole triangles in a tile of the given size.
    static int triangleVertexCount(qint64 bytes);

    // Whether a tile given now goes into graphics memory at once; before the
    // view has its context, tiles wait and are read when it gets one.
    bool canUploadNow() const;
    // Adds one tile read elsewhere (floats as ChgtTileReader::readTriangles
    // gives them), without redrawing; an open that reads each file once for
    // both views ends with updateGL(). Without a context the file is read later.
    void addTile(const QString &path, const QByteArray &floats);
    // Upload threads sharing this view's buffers, or nullptr when there can
    // be none (no context yet, no sharing, no buffer objects): then addTile.
    std::unique_ptr<GlUploader> makeUploader(int threads);
    // Appends a regular tile as the next entry, without redrawing.
    // Placeholder: uploads the stored level's triangles like addTile.
    void addTileGrid(std::shared_ptr<const TileGrid> grid);
    // Adds a tile uploaded by such an uploader (0: the upload was refused,
    // and the tile is left out with a warning).
    void addBuffer(const QString &path, GLuint buffer, qint64 bytes);

    // How the view finds GL entry points by name, in the context current
    // on the calling thread: by default that context's getProcAddress. The
    // upload threads of an open are given the same lookup when they start.
    // Takes effect with the next context (set it before the view is shown);
    // a driver without buffer objects, or one that refuses uploads, can be
    // stood in for this way.
    void setGlLookup(const GlBufferFunctions::Lookup &lookup) { glLookup = lookup; }

    int tileCount() const { return int(tileBuffers.size()); }
    QVector<int> vertexCounts() const { return tileVertexCounts; }
    bool hasBufferObjects() const { return bufferFunctions.isComplete(); }
    bool isBorderShown() const { return showBorder; }
    ProgressDlg *progressDialog() const { return progressDlg; }

signals:
    void sProgress(int percent);
    // The pointer is over the map at lonLat (degrees); it has left the view.
    void sPointerAt(QPointF lonLat);
    void sPointerLeft();
    // Home was pressed here: this view is back at the start-up window, and
    // the other view is to follow.
    void sStartExtentShown();

public slots:
    void repaintGLWdg();
    void viewBorder(bool z);
    bool createHeightsGenBuffer(QStringList srcFiles);
    // Back to the window the program starts with, redrawn.
    void showStartExtent();
    // Redraws at once when visible, else when next shown.
    void updateGL();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private slots:
    void onContextAboutToBeDestroyed();

private:
    void loadBorder();
    void uploadFiles(const QStringList &files);
    bool uploadTile(const QString &path);
    bool uploadTriangles(const QString &path, const QByteArray &floats);
    void uploadGrid(const std::shared_ptr<const TileGrid> &grid);
    // A new buffer holding data, or 0 when the upload failed.
    GLuint uploadBuffer(const QByteArray &data);
    void applyProjection();
    void updateProjection();
    // Forgets every buffer; deletes them only with their context current.
    void deleteBuffers(bool contextCurrent);

    bool showBorder;
    QPoint pressPos;
    ProgressDlg *progressDlg;
    QVector<GLuint> tileBuffers;
    QVector<int> tileVertexCounts;
    GLuint borderBuffer;
    // Kept per view, so a second view cannot reset the first one's border.
    qint64 borderBytes;

    // The paths behind tileBuffers, to reload them into a new context.
    QStringList tilePaths;
    QStringList pendingFiles;
    // Placeholder: grids waiting for a context, each with the number of
    // pendingFiles before it (the order opened), and those uploaded (to
    // upload again into a new context).
    std::vector<std::pair<int, std::shared_ptr<const TileGrid>>> pendingGrids;
    std::vector<std::shared_ptr<const TileGrid>> uploadedGrids;
    GlBufferFunctions::Lookup glLookup;
    GlBufferFunctions bufferFunctions;
    bool missingFunctionsReported;
    QMetaObject::Connection contextConnection;

    static float viewLeft;
    static float viewRight;
    static float viewBottom;
    static float viewTop;
};
