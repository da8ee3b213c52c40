#pragma once

#include <QStringList>

class DrawGLWdg;
class DrawQtWdg;

namespace OpenTiles {

// Opens CHGT files in both map views, reading each file once: worker
// threads read files and build their polygons, upload threads with contexts
// shared with the OpenGL view put each finished file into a buffer (the
// calling thread does, where contexts cannot share), and the calling thread
// joins each file's polygons to the painter view's as it arrives. Both views
// end as if given the list through createHeightsBuffer and
// createHeightsGenBuffer, the painter view repainted and the OpenGL view
// redrawn.
void intoViews(const QStringList &files, DrawQtWdg &qtView, DrawGLWdg &glView);

} // namespace OpenTiles
