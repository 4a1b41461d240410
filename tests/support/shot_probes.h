#pragma once

#include <QColor>
#include <cstdlib>

#include "design/design_colors.h"

namespace quillory {

// The appearances the screenshot tools render, as the design's colour table names them.
struct ShotLook {
    const char* name;
    DesignAppearance appearance;
};

inline constexpr ShotLook shotLooks[] = {
    {"light", {false, false}}, {"dark", {true, false}}, {"contrast", {false, true}}};

// Colours in rendered images drift by a step or two of antialiasing and blending.
inline bool nearColor(QColor actual, QColor expected, int tolerance = 4) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

}  // namespace quillory
