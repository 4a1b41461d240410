#pragma once

#include <cmath>

namespace quillory {

// Global display coordinates: X11 root-window pixels, origin top-left, y downwards.
struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    bool isEmpty() const { return !(width > 0 && height > 0); }
    // Half-open, like the pixels it covers: a point on the right or bottom edge lies outside.
    bool contains(Point p) const {
        return !isEmpty() && p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
    // Where a normalised position (0..1 each way) lands: 1.0 is the last pixel, not one past it.
    Point map(double nx, double ny) const { return {x + nx * (width - 1), y + ny * (height - 1)}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace quillory
