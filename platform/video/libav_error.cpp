#include "platform/video/libav_error.h"

extern "C" {
#include <libavutil/error.h>
}

namespace quillory {

VideoError libavError(int code, const std::string& step) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return VideoError{code, step + " failed: " + text + " (" + std::to_string(code) + ")."};
}

}  // namespace quillory
