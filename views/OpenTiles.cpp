#include "OpenTiles.h"

#include "RepaintNow.h"

#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "TilePolygons.h"

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
    std::unique_ptr<GlUploader> uploader = uploadNow ? glView.makeUploader(uploadThreads) : nullptr;
    // Files are read on the pool (TilePolygons), uploads go to the upload
    // threads; both hand back their results through futures, taken here in
    // the order of the list.
    std::vector<PoolTask<TilePolygons::FileTriangles>> reading =
        TilePolygons::startReading(files, uploadNow);
    std::vector<std::optional<QFuture<GLuint>>> uploads(size_t(files.size()));
    std::vector<qint64> uploadBytes(size_t(files.size()), 0);
    for (int i = 0; i < files.size(); ++i) {
        TilePolygons::FileTriangles file = reading[size_t(i)].take();
        if (uploadNow && file.ok) {
            if (uploader) {
                uploadBytes[size_t(i)] = file.floats.size();
                uploads[size_t(i)] = uploader->upload(std::move(file.floats), [](QByteArray &&floats) {
                    TilePolygons::recycle(std::move(floats));
                });
            } else {
                glView.addTile(files.at(i), file.floats);
            }
        }
        // Uploaded: the buffer has its own copy.
        TilePolygons::recycle(std::move(file.floats));
        // Joined while the next files are read.
        qtView.addTile(file);
    }
    repaintNow(&qtView);
    for (int i = 0; i < files.size(); ++i) {
        if (uploads[size_t(i)])
            glView.addBuffer(files.at(i), uploads[size_t(i)]->result(), uploadBytes[size_t(i)]);
    }
    uploader.reset();
    TilePolygons::releaseBuffers();
    if (uploadNow)
        glView.updateGL();
    else
        glView.createHeightsGenBuffer(files);
    // After the map is on screen, not before.
    QTimer::singleShot(0, &qtView, &TilePolygons::returnFreedMemory);
}

} // namespace OpenTiles
