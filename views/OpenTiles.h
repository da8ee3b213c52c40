#pragma once

#include <QStringList>

class DrawGLWdg;
class DrawQtWdg;

namespace OpenTiles {

// Opens CHGT files in both map views, reading each file once: worker
// threads read files and build their polygons while the calling thread
// hands the floats of each finished file to the OpenGL view. Both views end
// as if given the list through createHeightsBuffer and createHeightsGenBuffer,
// the painter view repainted and the OpenGL view redrawn.
void intoViews(const QStringList &files, DrawQtWdg &qtView, DrawGLWdg &glView);

} // namespace OpenTiles
