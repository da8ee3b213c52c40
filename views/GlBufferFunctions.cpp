#include "GlBufferFunctions.h"

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
