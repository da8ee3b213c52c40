#include "OpenTiles.h"

#include "RepaintNow.h"

#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "ReadAhead.h"
#include "TilePolygons.h"
#include "TileReading.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace OpenTiles {

namespace {

// What the OpenGL view gets of one file, once the painter view is on
// screen: a grid, an upload under way, or a triangle file that has to be
// read again when the view has a context.
struct ForGlView
{
    std::shared_ptr<const TileGrid> grid;
    std::optional<QFuture<GLuint>> upload;
    qint64 uploadBytes = 0;
    bool later = false;
};

} // namespace

void intoViews(const QStringList &files, DrawQtWdg &qtView, DrawGLWdg &glView, Progress *progress)
{
    // Without a context yet the OpenGL view reads its files when it gets one.
    const bool uploadNow = glView.canUploadNow();
    // Upload threads of their own when the driver shares buffers between
    // contexts; else this thread uploads each file as it is read.
    // A few threads are enough to keep up with the readers; each costs a
    // context made on this thread.
    const int uploadThreads = std::clamp(QThread::idealThreadCount(), 1, 4);
    std::unique_ptr<GlUploader> uploader;
    if (progress) {
        progress->filesOpened(0, int(files.size()));
        // What is painted before the end shows the map as it was.
        qtView.setUpdatesEnabled(false);
    }
    // The disk reads ahead of the pool threads, so they seldom wait for it.
    ReadAhead readAhead(files);
    // Each file is opened once on the pool: a regular tile becomes a grid
    // (its mapping let go of at once), any other is read into triangles.
    // Results are taken here in the order of the list. While this thread
    // waits through progress it paints, and Qt's painting hands parts of
    // its fills to the global pool and waits for them: the files must not
    // stand in that queue.
    QThreadPool readers;
    readers.setMaxThreadCount(QThreadPool::globalInstance()->maxThreadCount());
    std::vector<PoolTask<TileReading::OpenedTile>> opening =
        TileReading::start(files, uploadNow, progress ? &readers : QThreadPool::globalInstance());
    std::vector<ForGlView> forGl(size_t(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        PoolTask<TileReading::OpenedTile> &task = opening[size_t(i)];
        if (progress && !task.isFinished())
            progress->waitFor(task.finished());
        TileReading::OpenedTile tile = TileReading::take(task, files.at(i), uploadNow);
        readAhead.taken(i + 1);
        ForGlView &gl = forGl[size_t(i)];
        if (tile.grid) {
            qtView.addTileGrid(tile.grid);
            gl.grid = std::move(tile.grid);
        } else {
            TilePolygons::FileTriangles &file = tile.triangles;
            if (uploadNow && file.ok) {
                // Made only when a file needs it: each thread costs a context.
                if (!uploader)
                    uploader = glView.makeUploader(uploadThreads);
                if (uploader) {
                    gl.uploadBytes = file.floats.size();
                    gl.upload = uploader->upload(std::move(file.floats), [](QByteArray &&floats) {
                        TilePolygons::recycle(std::move(floats));
                    });
                } else {
                    glView.addTile(files.at(i), file.floats);
                }
            } else if (!uploadNow) {
                gl.later = true;
            }
            // Uploaded: the buffer has its own copy.
            TilePolygons::recycle(std::move(file.floats));
            // Joined while the next files are read.
            qtView.addTile(file);
        }
        if (progress)
            progress->filesOpened(i + 1, int(files.size()));
    }
    if (progress)
        qtView.setUpdatesEnabled(true);
    repaintNow(&qtView);
    for (int i = 0; i < files.size(); ++i) {
        ForGlView &gl = forGl[size_t(i)];
        if (gl.grid)
            glView.addTileGrid(std::move(gl.grid));
        else if (gl.upload)
            glView.addBuffer(files.at(i), gl.upload->result(), gl.uploadBytes);
        else if (gl.later)
            glView.addTile(files.at(i), QByteArray()); // read when the view gets its context
    }
    uploader.reset();
    TilePolygons::releaseBuffers();
    glView.updateGL();
    // After the map is on screen, not before.
    QTimer::singleShot(0, &qtView, &TilePolygons::returnFreedMemory);
}

} // namespace OpenTiles
