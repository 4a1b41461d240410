#pragma once

#include <map>
#include <string>

namespace quillory {

// A codec as negotiated: its name and its text format parameters.
struct VideoCodecInfo {
    std::string name;
    std::map<std::string, std::string> parameters;

    bool operator==(const VideoCodecInfo&) const = default;
};

// Results of encoder and decoder operations.
inline constexpr int videoCodecOk = 0;
inline constexpr int videoCodecError = -1;

}  // namespace quillory
