#pragma once

#include "ViewExtent.h"

#include <QString>
#include <Qt>

// What a key pressed in a map view does, for both views alike: the arrows
// move the visible area a tenth of its width or height towards where they
// point, "+" and "-" zoom by one wheel step, Home goes back to where the
// program started. Pure arithmetic on the extent, so it is tested directly.
class MapKeys
{
public:
    enum class Action { None, Pan, Zoom, Home };

    struct Step
    {
        Action action = Action::None;
        int east = 0;  // Pan: +1 shows what lies east, -1 west
        int north = 0; // Pan: +1 shows what lies north, -1 south
        int zoom = 0;  // Zoom: +1 in, -1 out, as the wheel's delta
    };

    // The step of a key; None for keys the map leaves to others, and for
    // any key held with Ctrl, Alt or Meta (those belong to the window).
    static Step forKey(int key, Qt::KeyboardModifiers modifiers);

    // Applies a Pan or Zoom step (zoom steps in the view's own units, as its
    // wheel uses them); returns false when the extent did not change.
    static bool apply(const Step &step, ViewExtent &e, double zoomStepX, double zoomStepY);

    // What the keys and the mouse do, for the views' accessible descriptions.
    static QString czechDescription();

    // The share of the width or height one arrow press moves.
    static constexpr double PanShare = 0.1;
};
