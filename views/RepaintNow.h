#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

// Repaints a widget before returning, as QWidget::repaint() promises. In a
// window that composes OpenGL content (the OpenGL view's), Qt turns a
// repaint() that comes within a frame of the last composition into an update
// for later; the request it posts to the window is delivered here at once,
// so a timed repaint and an open still end with the picture drawn.
inline void repaintNow(QWidget *widget)
{
    widget->repaint();
    if (widget->isVisible())
        QCoreApplication::sendPostedEvents(widget->window(), QEvent::UpdateRequest);
}
