#pragma once

#include <filesystem>

namespace quillory {

// Qt Quick's own software renderer when this machine has no graphics device that OpenGL could
// accelerate with: there Mesa's software rasteriser would map LLVM (about 70 MB resident), start
// a thread per core and still draw every panel update on the CPU. QT_QUICK_BACKEND or
// QSG_RHI_BACKEND, when set, decide instead. Call before the first Qt Quick window; true when
// the software renderer was chosen.
bool chooseSceneGraphBackend(const std::filesystem::path& devices = "/dev");

// True when `devices` holds a DRM node (dri/renderD*, dri/card*) or an NVIDIA device.
bool hasGraphicsDevice(const std::filesystem::path& devices);

}  // namespace quillory
