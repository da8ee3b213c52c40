#include "OpenTiles.h"

#include "RepaintNow.h"

#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "ReadAhead.h"
#include "TilePolygons.h"
#include "TileReading.h"

#include <QThreadPool>

#include <vector>

namespace OpenTiles {

void intoViews(const QStringList &files, DrawQtWdg &qtView, DrawGLWdg &glView, Progress *progress)
{
    // Without a context yet the OpenGL view reads its files when it gets one.
    const bool uploadNow = glView.canUploadNow();
    if (progress) {
        progress->filesOpened(0, int(files.size()));
        // What is painted before the end shows the map as it was.
        qtView.setUpdatesEnabled(false);
        glView.setUpdatesEnabled(false);
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
    for (int i = 0; i < files.size(); ++i) {
        PoolTask<TileReading::OpenedTile> &task = opening[size_t(i)];
        if (progress && !task.isFinished())
            progress->waitFor(task.finished());
        TileReading::OpenedTile tile = TileReading::take(task, files.at(i), uploadNow);
        readAhead.taken(i + 1);
        if (tile.grid) {
            qtView.addTileGrid(tile.grid);
            glView.addTileGrid(std::move(tile.grid));
        } else {
            TilePolygons::FileTriangles &file = tile.triangles;
            if (!uploadNow)
                glView.addTile(files.at(i), QByteArray()); // read when the view gets its context
            else if (file.ok)
                glView.addTile(files.at(i), file.floats);
            // Uploaded: the buffer has its own copy.
            file.floats = QByteArray();
            // Joined while the next files are read.
            qtView.addTile(file);
        }
        if (progress)
            progress->filesOpened(i + 1, int(files.size()));
    }
    if (progress) {
        // Back on, each view asks to be painted; the window paints both
        // in one composition, now. A repaint after that would compose the
        // whole window once more.
        qtView.setUpdatesEnabled(true);
        glView.setUpdatesEnabled(true);
        QCoreApplication::sendPostedEvents(qtView.window(), QEvent::UpdateRequest);
        return;
    }
    repaintNow(&qtView);
    glView.updateGL();
}

} // namespace OpenTiles
