#pragma once

#include "GlBufferFunctions.h"

#include <QByteArray>
#include <QFuture>
#include <QtGui/qopengl.h>

#include <functional>
#include <memory>
#include <vector>

class QOpenGLContext;

// Uploads vertex data into buffer objects on threads of its own, each with a
// context shared with a view's, so the uploads of an open run beside the
// reading of the next files instead of after it. A buffer is complete
// (glFinish) before its id is handed out, so the view's context can draw it.
class GlUploader
{
public:
    // Done is called on an upload thread with the floats after their upload.
    using Done = std::function<void(QByteArray &&floats)>;

    // Made on the GUI thread. Each upload thread is given lookup when it
    // starts and resolves its entry points with it in its own context (the
    // view hands over the very lookup it uses itself). Without threads of
    // its own (no shared context could be made, or the entry points are
    // missing) the uploader is not valid and the caller uploads itself.
    GlUploader(QOpenGLContext *share, int threads, const GlBufferFunctions::Lookup &lookup);
    ~GlUploader();
    GlUploader(const GlUploader &) = delete;
    GlUploader &operator=(const GlUploader &) = delete;

    bool isValid() const { return !lanes.empty(); }

    // Starts an upload; the future gives the new buffer, or 0 when the
    // driver refused it. Uploads are spread over the threads in turn.
    QFuture<GLuint> upload(QByteArray floats, const Done &done = {});

private:
    class Lane;
    std::vector<std::unique_ptr<Lane>> lanes;
    size_t next = 0;
};
