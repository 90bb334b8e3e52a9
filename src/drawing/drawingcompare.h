#pragma once
// Two drawings compared entity by entity on the paper they share (their paper
// coordinates, no other alignment): what both hold, what only one holds, and texts whose
// string changed where they stand. Plain C++; drawings come from anywhere, so every step
// is bounded by the sizes the reader already bounds.
#include <array>
#include <cstddef>
#include <vector>

#include "drawing/drawinggeometry.h"

enum class CompareKind { Line, Arc, Point, Text, Solid, Insert, Dimension };
inline constexpr int kCompareKinds = 7;

// The kind's key in the terminal's JSON ("line", …, "block_insert", "dimension").
const char* CompareKindKey(CompareKind kind);

// Entities whose places differ by at most this (paper millimetres; angles count by the
// distance they move an arc's ends) and whose attributes are equal are the same.
inline constexpr double kCompareToleranceMm = 0.01;

// Most differences listed one by one; the counts go on past it.
inline constexpr std::size_t kMaxListedDifferences = 20000;

enum class CompareSide { First, Second, Changed };

struct DrawingDifference {
    CompareKind kind = CompareKind::Line;
    CompareSide side = CompareSide::First;
    DrawingBox box;             // paper millimetres
    DrawingString first, second;   // a text's string in each drawing (the first alone for First, …)
};

struct DrawingComparison {
    std::size_t same = 0;
    // Per CompareKind; texts changed in place are counted in textsChanged, not here.
    std::array<std::size_t, kCompareKinds> onlyFirst{}, onlySecond{};
    std::size_t textsChanged = 0;
    // Texts changed in place first, then kind by kind, the first drawing's before the second's.
    std::vector<DrawingDifference> differences;
    bool listCut = false;       // more differences than kMaxListedDifferences

    // The overlay's three layers, each with its drawing's pens and block definitions and
    // every layer shown: what both hold (as the first holds it), what only the first,
    // only the second holds (texts changed in place among them).
    JwwDrawing common, first, second;

    bool Same() const;
    std::size_t OnlyFirst() const;
    std::size_t OnlySecond() const;
};

// Compares the main lists (block inserts as inserts: their place, scale, turn and the
// name of their definition). The entities move into the result's three drawings, so the
// inputs are taken whole. Texts of zero length (the CAD program's setting records) are
// left out: they are never drawn and change when a drawing is only saved again.
DrawingComparison CompareDrawings(JwwDrawing first, JwwDrawing second);

// The box of the three layers together (empty when both drawings are empty).
DrawingBox ComparisonExtents(const DrawingComparison& comparison);
