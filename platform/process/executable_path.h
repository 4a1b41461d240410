#pragma once

#include <filesystem>

namespace quillory {

// This program's own file, as /proc/self/exe names it on the first call; empty when it cannot be
// read. Call it at start-up: once an update replaces the file, the link names a deleted one.
const std::filesystem::path& executablePath();

}  // namespace quillory
