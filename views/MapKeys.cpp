#include "MapKeys.h"

MapKeys::Step MapKeys::forKey(int key, Qt::KeyboardModifiers modifiers)
{
    // Shift is needed for "+" on many layouts and the keypad sets its own
    // flag; anything else makes it a shortcut of someone else's.
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return Step();
    Step s;
    switch (key) {
    case Qt::Key_Left:
        s.action = Action::Pan;
        s.east = -1;
        break;
    case Qt::Key_Right:
        s.action = Action::Pan;
        s.east = 1;
        break;
    case Qt::Key_Up:
        s.action = Action::Pan;
        s.north = 1;
        break;
    case Qt::Key_Down:
        s.action = Action::Pan;
        s.north = -1;
        break;
    case Qt::Key_Plus:
        s.action = Action::Zoom;
        s.zoom = 1;
        break;
    case Qt::Key_Minus:
        s.action = Action::Zoom;
        s.zoom = -1;
        break;
    case Qt::Key_Home:
        s.action = Action::Home;
        break;
    default:
        break;
    }
    return s;
}

bool MapKeys::apply(const Step &step, ViewExtent &e, double zoomStepX, double zoomStepY)
{
    switch (step.action) {
    case Action::Pan: {
        // Worked out in double, stored as float, like a wheel step.
        const double dx = step.east * PanShare * (double(e.right) - double(e.left));
        const double dy = step.north * PanShare * (double(e.top) - double(e.bottom));
        const ViewExtent before = e;
        e.left = float(double(e.left) + dx);
        e.right = float(double(e.right) + dx);
        e.bottom = float(double(e.bottom) + dy);
        e.top = float(double(e.top) + dy);
        return !(e == before);
    }
    case Action::Zoom:
        return ViewExtentMath::zoom(e, step.zoom, zoomStepX, zoomStepY);
    case Action::None:
    case Action::Home:
        break;
    }
    return false;
}

QString MapKeys::czechDescription()
{
    return QStringLiteral(
        "Barevná výšková mapa s hranicí ČR. Šipky posunou mapu o desetinu její šířky nebo výšky, "
        "+ a - mění měřítko, Home vrátí výchozí pohled. Myší: tažení posouvá, kolečko mění měřítko.");
}
