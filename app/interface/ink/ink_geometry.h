#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "protocol/pen_sample.h"

namespace quillory {

struct InkPoint {
    double x = 0;
    double y = 0;

    friend bool operator==(const InkPoint&, const InkPoint&) = default;
};

struct InkSize {
    double width = 0;
    double height = 0;

    friend bool operator==(const InkSize&, const InkSize&) = default;
};

// One mark of a stroke: a start dot (centred on `from`, diameter `width`) or a segment from
// `from` to `to` of line width `width` with round caps. `joined` is the width of the mark that
// ended at `from` (0 when none): where it is at least `width`, that mark's cap already covers
// this one's start cap.
struct InkMark {
    enum class Kind { dot, segment };

    Kind kind = Kind::dot;
    InkPoint from;
    InkPoint to;
    double width = 0;
    double joined = 0;

    friend bool operator==(const InkMark&, const InkMark&) = default;
};

// What the pen test canvas draws, in canvas points with the origin at the top left: the dot
// grid, the pressure-weighted strokes of a sample history and the pointer ring. Qt-free, so the
// raster and its tests share one definition of the picture.
class InkGeometry {
  public:
    static constexpr double gridSpacing = 24;
    static constexpr double gridDotSize = 1.6;
    static constexpr double ringDiameter = 18;
    static constexpr double ringOuterWidth = 5;
    static constexpr double ringInnerWidth = 1.5;

    // A feather touch draws 1.5 wide, full pressure 13.5.
    static double strokeWidth(double pressure) { return pressure * 12 + 1.5; }
    static InkPoint point(const PenSample& sample, InkSize size);

    // Top-left corners of the grid dots' gridDotSize squares, column by column: the lattice
    // points inside the canvas, none on its top or left edge.
    static std::vector<InkPoint> gridDots(InkSize size, bool grid);

    // Appends to `marks` what the samples from index `from` to the end draw. A stroke that runs
    // into the range is picked up from the sample before it, so painting a history range by
    // range gives exactly the marks of one pass over all of it.
    static void marks(std::span<const PenSample> samples, std::size_t from, InkSize size,
                      std::vector<InkMark>& marks);
    static std::vector<InkMark> marks(std::span<const PenSample> samples, InkSize size) {
        std::vector<InkMark> all;
        InkGeometry::marks(samples, 0, size, all);
        return all;
    }

    // The ring's centre: the pointer's point, wherever it is (partly off the canvas at a corner).
    static InkPoint ringCentre(const PenSample& pointer, InkSize size) {
        return point(pointer, size);
    }

    // Whether a history holds anything drawn: a `began` or `moved` sample.
    static bool hasInk(std::span<const PenSample> samples);
};

}  // namespace quillory
