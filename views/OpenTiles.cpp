#include "OpenTiles.h"

#include "ChgtReader.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <future>
#include <memory>
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
    QList<QFuture<ChgtReader::FileTriangles>> reading = ChgtReader::startReading(files, uploadNow);
    std::vector<std::future<GLuint>> uploads(size_t(files.size()));
    std::vector<qint64> uploadBytes(size_t(files.size()), 0);
    for (int i = 0; i < files.size(); ++i) {
        ChgtReader::FileTriangles file = reading[i].takeResult();
        if (uploadNow && file.ok) {
            if (uploader) {
                uploadBytes[size_t(i)] = file.floats.size();
                uploads[size_t(i)] = uploader->upload(std::move(file.floats), [](QByteArray &&floats) {
                    ChgtReader::recycle(std::move(floats));
                });
            } else {
                glView.addTile(files.at(i), file.floats);
            }
        }
        // Uploaded: the buffer has its own copy.
        ChgtReader::recycle(std::move(file.floats));
        // Joined while the next files are read.
        qtView.addTile(file);
    }
    qtView.repaint();
    for (int i = 0; i < files.size(); ++i) {
        if (uploads[size_t(i)].valid())
            glView.addBuffer(files.at(i), uploads[size_t(i)].get(), uploadBytes[size_t(i)]);
    }
    uploader.reset();
    ChgtReader::releaseBuffers();
    if (uploadNow)
        glView.updateGL();
    else
        glView.createHeightsGenBuffer(files);
    // After the map is on screen, not before.
    QTimer::singleShot(0, &qtView, &ChgtReader::returnFreedMemory);
}

} // namespace OpenTiles
