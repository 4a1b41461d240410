#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace quillory::testing {

// Decodes a JPEG and writes it as a PNG, so that a thumbnail can be looked at as the tablet would
// show it. False when the bytes do not decode or the file cannot be written.
bool writeJPEGAsPNG(const std::vector<std::uint8_t>& jpeg, const std::filesystem::path& path);

// The folder where tests leave pictures to be looked at: $QUILLORY_SHOTS_DIR, else the temporary
// folder; created when missing.
std::filesystem::path shotsFolder();

}  // namespace quillory::testing
