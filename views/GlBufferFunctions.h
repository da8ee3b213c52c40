#pragma once

#include <QByteArray>
#include <QtGui/qopengl.h>

#include <functional>

// The four OpenGL 1.5 buffer-object entry points, looked up by name at run
// time: the system libGL only promises the 1.1 calls at link time.
class GlBufferFunctions
{
public:
    using GenBuffers = void(QOPENGLF_APIENTRY *)(GLsizei, GLuint *);
    using BindBuffer = void(QOPENGLF_APIENTRY *)(GLenum, GLuint);
    using BufferData = void(QOPENGLF_APIENTRY *)(GLenum, GLsizeiptr, const void *, GLenum);
    using DeleteBuffers = void(QOPENGLF_APIENTRY *)(GLsizei, const GLuint *);

    // Returns the address of a GL function by name, or nullptr. Called on
    // the thread whose context is to use the functions.
    using Lookup = std::function<QFunctionPointer(const char *name)>;

    // Looks names up in the context current on the calling thread.
    static Lookup currentContextLookup();

    // Looks the four names up in the order glGenBuffers, glBindBuffer,
    // glBufferData, glDeleteBuffers; returns isComplete().
    bool resolve(const Lookup &lookup);
    bool isComplete() const;
    void clear();

    // A new GL_ARRAY_BUFFER holding data, made in the current context, or 0
    // when the driver refused it (out of memory, the usual case): drawing
    // from the empty buffer it leaves would show nothing or garbage.
    GLuint upload(const QByteArray &data) const;

    GenBuffers genBuffers = nullptr;
    BindBuffer bindBuffer = nullptr;
    BufferData bufferData = nullptr;
    DeleteBuffers deleteBuffers = nullptr;
};
