#include "app/studio/shareable_content.h"

namespace quillory {

std::optional<ShareableContent> ShareableContent::read(const Desktop& desktop) {
    auto windows = desktop.shareableWindows();
    if (!windows) {
        return std::nullopt;
    }
    return ShareableContent{desktop.displays(), std::move(*windows)};
}

}  // namespace quillory
