#include "CellEdges.h"

#include <algorithm>

CellEdges::CellEdges(int corner, int k, FarEdge farEdge)
{
    const int n = 1199 / k + 1;
    const double cornerD = corner;
    const double step = k / 1200.0;
    nearEdges.resize(size_t(n));
    farEdges.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        const int c = 1 + i * k;
        nearEdges[size_t(i)] = float(c / 1200.0 + cornerD);
        farEdges[size_t(i)] = float(double(nearEdges[size_t(i)]) + step);
    }
    if (farEdge == FarEdge::Shared) {
        for (int i = 0; i + 1 < n; ++i)
            farEdges[size_t(i)] = nearEdges[size_t(i) + 1];
        // The last cell ends where the next tile's first cell starts, at
        // any level of either: 1/1200 past the next whole degree.
        farEdges[size_t(n) - 1] = float(1 / 1200.0 + (cornerD + 1.0));
    }
}

void CellEdges::reaching(double low, double high, int *first, int *end) const
{
    const int n = count();
    // Edges grow with the index, near and far alike.
    const int f = int(std::lower_bound(farEdges.begin(), farEdges.end(), low,
                                       [](float edge, double v) { return double(edge) < v; })
                      - farEdges.begin());
    const int e = int(std::upper_bound(nearEdges.begin(), nearEdges.end(), high,
                                       [](double v, float edge) { return v < double(edge); })
                      - nearEdges.begin());
    // Wholly beyond the tile: nothing. Otherwise one more cell each way, so
    // the float rounding of whoever asks cannot lose a cell at the view's edge.
    if (!(low <= high) || f >= n || e <= 0) {
        *first = *end = 0;
        return;
    }
    *first = std::max(0, f - 1);
    *end = std::min(n, e + 1);
}

int CellEdges::cellAt(double v) const
{
    const int after = int(std::upper_bound(nearEdges.begin(), nearEdges.end(), v,
                                           [](double x, float edge) { return x < double(edge); })
                          - nearEdges.begin());
    const int i = after - 1;
    return i >= 0 && v <= double(farEdges[size_t(i)]) ? i : -1;
}
