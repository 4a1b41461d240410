#pragma once

#include <string>

namespace quillory {

// A failure of the video layer. `code` is libavcodec's error number where one caused it, else 0.
struct VideoError {
    int code = 0;
    std::string message;
};

}  // namespace quillory
