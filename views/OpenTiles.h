#pragma once

#include <QStringList>

class DrawGLWdg;
class DrawQtWdg;

namespace OpenTiles {

// Opens CHGT files in both map views, reading each file once: worker
// threads recognise each regular tile as a grid (given to both views, held
// once) and read any other file into polygons; upload threads with contexts
// shared with the OpenGL view put such a file into a buffer (the calling
// thread does, where contexts cannot share), and the calling thread joins
// each file to the painter view's map as it arrives. Both views end as if
// given the list through createHeightsBuffer and createHeightsGenBuffer,
// the painter view repainted and the OpenGL view redrawn.
void intoViews(const QStringList &files, DrawQtWdg &qtView, DrawGLWdg &glView);

} // namespace OpenTiles
