#pragma once

// The level a view draws a tile at.
namespace LevelChoice {

// The finest level k of a tile of quantity q (a multiple of q dividing 1200)
// whose cells are at least half a device pixel both wide and high, i.e.
// k / 1200 * min(pixelsPerDegreeX, pixelsPerDegreeY) >= 0.5, or 1200 when
// none is.
int levelFor(int q, double pixelsPerDegreeX, double pixelsPerDegreeY);

} // namespace LevelChoice
