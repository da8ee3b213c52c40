#include "GlBufferFunctions.h"

#include <QOpenGLContext>

GlBufferFunctions::Lookup GlBufferFunctions::currentContextLookup()
{
    return [](const char *name) -> QFunctionPointer {
        QOpenGLContext *ctx = QOpenGLContext::currentContext();
        return ctx ? ctx->getProcAddress(name) : nullptr;
    };
}

bool GlBufferFunctions::resolve(const Lookup &lookup)
{
    genBuffers = reinterpret_cast<GenBuffers>(lookup("glGenBuffers"));
    bindBuffer = reinterpret_cast<BindBuffer>(lookup("glBindBuffer"));
    bufferData = reinterpret_cast<BufferData>(lookup("glBufferData"));
    deleteBuffers = reinterpret_cast<DeleteBuffers>(lookup("glDeleteBuffers"));
    return isComplete();
}

bool GlBufferFunctions::isComplete() const
{
    return genBuffers && bindBuffer && bufferData && deleteBuffers;
}

void GlBufferFunctions::clear()
{
    *this = GlBufferFunctions();
}

GLuint GlBufferFunctions::upload(const QByteArray &data) const
{
    // Errors left by earlier calls must not be blamed on this upload.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    GLuint id = 0;
    genBuffers(1, &id);
    if (id == 0)
        return 0;
    bindBuffer(GL_ARRAY_BUFFER, id);
    bufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.size()), data.constData(), GL_STATIC_DRAW);
    bindBuffer(GL_ARRAY_BUFFER, 0);
    if (glGetError() != GL_NO_ERROR) {
        deleteBuffers(1, &id);
        return 0;
    }
    return id;
}
