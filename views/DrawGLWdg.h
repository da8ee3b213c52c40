#pragma once

#include "GlBufferFunctions.h"
#include "GlLevelCache.h"
#include "ViewExtent.h"

#include <QMetaObject>
#include <QOpenGLWidget>
#include <QPoint>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class ProgressDlg;
class QOpenGLContext;
class TileGrid;

// The OpenGL map page: opened CHGT tiles drawn in the order opened with the
// fixed-function pipeline, the state border on top as a black line strip.
// A regular tile (conversion output) is held as its grid and drawn at the
// level its cells need on screen (LevelChoice), from vertex buffers built
// for that level when first needed and kept within a byte budget; any other
// tile goes unchanged into one static vertex buffer of its own. Wheel
// zooms, a left-button drag pans; with focus, the keys of MapKeys move and
// zoom it too.
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
    // Adds a regular tile as the next one, without redrawing; its levels
    // are built and uploaded when a paint needs them. The grid is shared
    // with whoever else draws it.
    void addTileGrid(std::shared_ptr<const TileGrid> grid);

    // Bytes the buffers of regular tiles' levels may hold at most, and hold.
    static constexpr qint64 DefaultLevelBudget = qint64(192) << 20;
    // For tests and benchmarks: another budget, from the next paint on.
    void setLevelBudget(qint64 bytes) { levelBudget = bytes; }
    qint64 levelBudgetBytes() const { return levelBudget; }
    qint64 levelBufferBytes() const { return levelCache.heldBytes(); }
    // Level buffers built so far, and the level each regular tile was last
    // drawn at (0 where it was not), in tile order; for tests and benchmarks.
    qint64 levelBuffersBuilt() const { return levelBuilds; }
    QVector<int> drawnLevels() const;

    // How the view finds GL entry points by name, in the context current
    // on the calling thread: by default that context's getProcAddress.
    // Takes effect with the next context (set it before the view is shown);
    // a driver without buffer objects, or one that refuses uploads, can be
    // stood in for this way.
    void setGlLookup(const GlBufferFunctions::Lookup &lookup) { glLookup = lookup; }

    // Tiles the view holds (a tile still waiting for a context to be read
    // in, or one left out, is not counted), and the vertices of each as
    // stored in its file.
    int tileCount() const;
    QVector<int> vertexCounts() const;
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
    // One opened tile: a regular grid, or the triangles of a file in a
    // buffer of their own (0 while waiting for a context).
    struct Entry
    {
        std::shared_ptr<const TileGrid> grid;
        QString path;
        GLuint buffer = 0;
        int vertexCount = 0;
        bool leftOut = false; // the driver refused a level of the grid
        int drawnLevel = 0;
    };

    void loadBorder();
    void loadFiles(const QStringList &files);
    // Reads the files of the triangle tiles that wait for a context.
    void loadWaitingTiles();
    bool uploadTile(Entry &entry);
    void drawGrid(Entry &entry, double pixelsPerDegreeX, double pixelsPerDegreeY);
    void drawBuffer(GLuint buffer, int vertexCount);
    void deleteBuffer(GLuint id);
    // A new buffer holding data, or 0 when the upload failed.
    GLuint uploadBuffer(const QByteArray &data);
    void applyProjection();
    void updateProjection();
    // Forgets every buffer; deletes them only with their context current.
    void deleteBuffers(bool contextCurrent);

    bool showBorder;
    QPoint pressPos;
    ProgressDlg *progressDlg;
    std::vector<Entry> entries;
    GlLevelCache levelCache;
    qint64 levelBudget = DefaultLevelBudget;
    qint64 levelBuilds = 0;
    GLuint borderBuffer;
    // Kept per view, so a second view cannot reset the first one's border.
    qint64 borderBytes;

    GlBufferFunctions::Lookup glLookup;
    GlBufferFunctions bufferFunctions;
    bool missingFunctionsReported;
    QMetaObject::Connection contextConnection;

    static float viewLeft;
    static float viewRight;
    static float viewBottom;
    static float viewTop;
};
