#pragma once

#include "media/studio_operating_point.h"

namespace quillory {

// Margins on a point's need: the allocation that funds a move to it, the share below which it is
// underfunded, the saving a step down must make and the allocation below which pressure is severe.
inline constexpr double fundingHeadroom = 1.2;
inline constexpr double retentionShare = 0.8;
inline constexpr double stepDownShare = 0.9;
inline constexpr double severityShare = 0.35;

// Bits per second a frame size needs at 60 fps: piecewise linear in the pixel count up to
// 1920 x 1080, proportional beyond it.
double bitrateForPixels(int width, int height);

// Share of the 60 fps bitrate a frame rate needs.
double rateFactor(int framesPerSecond);

// Bitrate a point needs, the allocation that funds a move to it, and the allocation below which
// it can no longer be held.
double bitrateNeed(const StudioOperatingPoint& point);
double fundingBitrate(const StudioOperatingPoint& point);
double retentionBitrate(const StudioOperatingPoint& point);

}  // namespace quillory
