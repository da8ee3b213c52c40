#include "LevelChoice.h"

#include <algorithm>
#include <cmath>

namespace LevelChoice {

int levelFor(int q, double pixelsPerDegreeX, double pixelsPerDegreeY)
{
    const double pixelsPerDegree = std::min(std::fabs(pixelsPerDegreeX), std::fabs(pixelsPerDegreeY));
    // k / 1200 * ppd >= 0.5, as k * ppd >= 600: exact for the whole-number
    // scales of a view that shows whole degrees (1080 px over 9 degrees).
    for (int k = std::max(q, 1); k < 1200; k += std::max(q, 1)) {
        if (1200 % k == 0 && double(k) * pixelsPerDegree >= 600.0)
            return k;
    }
    return 1200;
}

} // namespace LevelChoice
