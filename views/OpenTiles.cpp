#include "OpenTiles.h"

#include "RepaintNow.h"

#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "TilePolygons.h"
#include "TileReading.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace OpenTiles {

void intoViews(const QStringList &files, DrawQtWdg &qtView, DrawGLWdg &glView)
{
    // Without a context yet the OpenGL view reads its files when it gets one.
    const bool uploadNow = glView.canUploadNow();
    // Upload threads of their own when the driver shares buffers between
    // contexts; else this thread uploads each file as it is read.
    // A few threads are enough to keep up with the readers; each costs a
    // context made on this thread.
    const int uploadThreads = std::clamp(QThread::idealThreadCount(), 1, 4);
    std::unique_ptr<GlUploader> uploader;
    // Each file is opened once on the pool: a regular tile becomes a grid
    // (its mapping let go of at once), any other is read into triangles.
    // Results are taken here in the order of the list.
    std::vector<PoolTask<TileReading::OpenedTile>> opening = TileReading::start(files, uploadNow);
    // What the OpenGL view gets, in the order of the list, once the painter
    // view is on screen: a grid, an upload under way, or a triangle file
    // that has to be read again when the view has a context.
    std::vector<std::shared_ptr<const TileGrid>> grids(size_t(files.size()));
    std::vector<std::optional<QFuture<GLuint>>> uploads(size_t(files.size()));
    std::vector<qint64> uploadBytes(size_t(files.size()), 0);
    std::vector<bool> later(size_t(files.size()), false);
    for (int i = 0; i < files.size(); ++i) {
        TileReading::OpenedTile tile = TileReading::take(opening[size_t(i)], files.at(i), uploadNow);
        if (tile.grid) {
            qtView.addTileGrid(tile.grid);
            grids[size_t(i)] = std::move(tile.grid);
            continue;
        }
        TilePolygons::FileTriangles &file = tile.triangles;
        if (uploadNow && file.ok) {
            // Made only when a file needs it: each thread costs a context.
            if (!uploader)
                uploader = glView.makeUploader(uploadThreads);
            if (uploader) {
                uploadBytes[size_t(i)] = file.floats.size();
                uploads[size_t(i)] = uploader->upload(std::move(file.floats), [](QByteArray &&floats) {
                    TilePolygons::recycle(std::move(floats));
                });
            } else {
                glView.addTile(files.at(i), file.floats);
            }
        } else if (!uploadNow) {
            later[size_t(i)] = true;
        }
        // Uploaded: the buffer has its own copy.
        TilePolygons::recycle(std::move(file.floats));
        // Joined while the next files are read.
        qtView.addTile(file);
    }
    repaintNow(&qtView);
    for (int i = 0; i < files.size(); ++i) {
        if (grids[size_t(i)])
            glView.addTileGrid(std::move(grids[size_t(i)]));
        else if (uploads[size_t(i)])
            glView.addBuffer(files.at(i), uploads[size_t(i)]->result(), uploadBytes[size_t(i)]);
        else if (later[size_t(i)])
            glView.addTile(files.at(i), QByteArray()); // read when the view gets its context
    }
    uploader.reset();
    TilePolygons::releaseBuffers();
    glView.updateGL();
    // After the map is on screen, not before.
    QTimer::singleShot(0, &qtView, &TilePolygons::returnFreedMemory);
}

} // namespace OpenTiles
