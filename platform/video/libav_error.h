#pragma once

#include <string>

#include "platform/video/video_error.h"

namespace quillory {

// libavcodec's error number with its av_strerror text, after the step that failed.
VideoError libavError(int code, const std::string& step);

}  // namespace quillory
