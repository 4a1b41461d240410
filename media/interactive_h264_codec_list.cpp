#include "media/interactive_h264_factory.h"

namespace quillory {

// Apart from the factory, in the library free of libavcodec: the application lists these codecs
// without loading its media module.
const std::vector<VideoCodecInfo>& InteractiveH264Factory::codecList() {
    // A function-local static is built under the language's once-only guard, so concurrent
    // first callers all see the one list.
    static const std::vector<VideoCodecInfo> list = [] {
        std::vector<VideoCodecInfo> codecs;
        for (const char* profile : {"640c34", "42e034"}) {
            codecs.push_back(VideoCodecInfo{"H264",
                                            {{"profile-level-id", profile},
                                             {"level-asymmetry-allowed", "1"},
                                             {"packetization-mode", "1"}}});
        }
        return codecs;
    }();
    return list;
}

}  // namespace quillory
