#include "GlUploader.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPromise>
#include <QThread>

#include <memory>

// One upload thread: its context is current there for the thread's life,
// which a pool thread could not promise, so each lane is a QThread of its
// own. Work reaches it as a queued call on an object living there; results
// come back through QFuture, as from every other thread of the program.
class GlUploader::Lane
{
public:
    Lane(QOpenGLContext *share, const GlBufferFunctions::Lookup &lookup)
    {
        // Surfaces are made on the GUI thread; the context then moves to its thread.
        surface.setFormat(share->format());
        surface.create();
        context = new QOpenGLContext;
        context->setFormat(share->format());
        context->setShareContext(share);
        if (!surface.isValid() || !context->create() || !context->shareContext()) {
            delete context;
            context = nullptr;
            return;
        }
        worker.moveToThread(&thread);
        context->moveToThread(&thread);
        thread.start();
        auto ready = std::make_shared<QPromise<bool>>();
        QFuture<bool> started = ready->future();
        ready->start();
        // The entry points are looked up on the lane's thread, with its
        // context current: they may differ from context to context.
        run([this, ready, lookup] {
            ready->addResult(context->makeCurrent(&surface) && functions.resolve(lookup));
            ready->finish();
        });
        valid = started.result();
    }

    ~Lane()
    {
        if (!thread.isRunning()) {
            delete context;
            return;
        }
        run([this] {
            context->doneCurrent();
            delete context;
            QThread::currentThread()->quit();
        });
        thread.wait();
    }

    bool isValid() const { return valid; }

    template<class Work>
    void run(Work work)
    {
        QMetaObject::invokeMethod(&worker, std::move(work), Qt::QueuedConnection);
    }

    // On the lane's thread.
    GLuint upload(const QByteArray &floats)
    {
        const GLuint id = functions.upload(floats);
        // Complete before another context draws from it.
        glFinish();
        return id;
    }

private:
    QThread thread;
    QObject worker;
    QOffscreenSurface surface;
    QOpenGLContext *context = nullptr;
    GlBufferFunctions functions;
    bool valid = false;
};

GlUploader::GlUploader(QOpenGLContext *share, int threads, const GlBufferFunctions::Lookup &lookup)
{
    if (!share)
        return;
    for (int i = 0; i < threads; ++i) {
        auto lane = std::make_unique<Lane>(share, lookup);
        if (!lane->isValid())
            break;
        lanes.push_back(std::move(lane));
    }
}

GlUploader::~GlUploader() = default;

QFuture<GLuint> GlUploader::upload(QByteArray floats, const Done &done)
{
    auto promise = std::make_shared<QPromise<GLuint>>();
    QFuture<GLuint> result = promise->future();
    promise->start();
    if (lanes.empty()) {
        promise->addResult(0);
        promise->finish();
        return result;
    }
    Lane *lane = lanes[next++ % lanes.size()].get();
    lane->run([lane, promise, floats = std::move(floats), done]() mutable {
        const GLuint id = lane->upload(floats);
        if (done)
            done(std::move(floats));
        promise->addResult(id);
        promise->finish();
    });
    return result;
}
