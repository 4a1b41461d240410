#include "platform/process/executable_path.h"

namespace quillory {

const std::filesystem::path& executablePath() {
    static const std::filesystem::path path = [] {
        std::error_code error;
        auto resolved = std::filesystem::read_symlink("/proc/self/exe", error);
        return error ? std::filesystem::path() : resolved;
    }();
    return path;
}

}  // namespace quillory
