#pragma once

#include <QFuture>
#include <QStringList>

class DrawGLWdg;
class DrawQtWdg;

namespace OpenTiles {

// What a window shows of a long open, and how it waits for the files.
class Progress
{
public:
    virtual ~Progress() = default;
    // done of total files are in: 0 before the first, total after the last.
    virtual void filesOpened(int done, int total) = 0;
    // Returns once reading has finished; may handle events meanwhile.
    virtual void waitFor(const QFuture<void> &reading) = 0;
};

// Opens CHGT files in both map views, reading each file once: the files
// are fetched from the disk ahead of the worker threads, which recognise
// each regular tile as a grid (given to both views, held once) and read any
// other file into polygons; the calling thread puts each file into the
// OpenGL view (such a file into a buffer) and joins it to the painter
// view's map as it arrives, in the order of the list. Both views end as if given the list
// through createHeightsBuffer and createHeightsGenBuffer, the painter view
// repainted and the OpenGL view redrawn.
//
// With progress, the calling thread waits for each file through it instead
// of reading any itself, and both views keep the picture they had until
// the end, whatever is repainted meanwhile.
void intoViews(const QStringList &files, DrawQtWdg &qtView, DrawGLWdg &glView,
               Progress *progress = nullptr);

} // namespace OpenTiles
