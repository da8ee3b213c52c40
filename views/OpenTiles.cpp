#include "OpenTiles.h"

#include "ChgtReader.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"

#include <QTimer>

namespace OpenTiles {

void intoViews(const QStringList &files, DrawQtWdg &qtView, DrawGLWdg &glView)
{
    // Without a context yet the OpenGL view reads its files when it gets one.
    const bool uploadNow = glView.canUploadNow();
    QList<QFuture<ChgtReader::FileTriangles>> reading = ChgtReader::startReading(files, uploadNow);
    QVector<ChgtReader::FileTriangles> read;
    read.reserve(files.size());
    for (int i = 0; i < files.size(); ++i) {
        ChgtReader::FileTriangles file = reading[i].takeResult();
        if (uploadNow && file.ok)
            glView.addTile(files.at(i), file.floats);
        // Uploaded: the buffer has its own copy.
        ChgtReader::recycle(std::move(file.floats));
        read.append(std::move(file));
    }
    qtView.addTiles(read);
    ChgtReader::releaseBuffers();
    if (uploadNow)
        glView.updateGL();
    else
        glView.createHeightsGenBuffer(files);
    // After the map is on screen, not before.
    QTimer::singleShot(0, &qtView, &ChgtReader::returnFreedMemory);
}

} // namespace OpenTiles
