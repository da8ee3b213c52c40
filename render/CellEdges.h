#pragma once

#include <cstddef>
#include <vector>

// The edges of a tile's cells along one axis (longitude for columns,
// latitude for rows) at quantity or level k, as single-precision degrees
// exactly as the conversion writes them: the near edge of cell i is
// corner + (1 + i * k) / 1200 worked out in double, and its far edge, as
// stored, is the near edge widened to double plus k / 1200.
//
// Rounded on its own, that far edge is one float step away from the next
// cell's near edge at many boundaries, which leaves hairline gaps between
// neighbouring cells, and between the last cell and the next tile's first
// at some levels. FarEdge::Shared takes the next cell's near edge instead,
// and for the last cell the next tile's first near edge, so neighbours meet.
class CellEdges
{
public:
    enum class FarEdge { Stored, Shared };

    CellEdges(int corner, int k, FarEdge farEdge = FarEdge::Stored);

    int count() const { return int(nearEdges.size()); }
    float nearEdge(int i) const { return nearEdges[size_t(i)]; }
    float farEdge(int i) const { return farEdges[size_t(i)]; }

    // The cells [first, end) whose extent [nearEdge, farEdge] reaches into
    // [low, high], widened by one cell on each side and clamped to the
    // tile; empty (first == end) when none does.
    void reaching(double low, double high, int *first, int *end) const;

    // The cell whose extent [nearEdge, farEdge] holds v, or -1: on an edge
    // two cells share, the later one (north or east, drawn on top of it).
    int cellAt(double v) const;

private:
    std::vector<float> nearEdges;
    std::vector<float> farEdges;
};
