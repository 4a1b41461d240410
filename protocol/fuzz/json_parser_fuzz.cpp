// Differential check of the JSON reader against the library's own parser: both must accept the
// same texts and build equal documents, except where the reader is stricter on purpose (nesting
// deeper than maxJSONDepth, a leading byte order mark, bytes after a NUL, which the library
// takes for the end of the text).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocol/json_codec.h"

using namespace quillory;

namespace {

std::size_t depthOf(const Json& value) {
    std::size_t deepest = 0;
    if (value.is_structured()) {
        for (const auto& element : value) {
            deepest = std::max(deepest, depthOf(element));
        }
        return deepest + 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto ours = parseJSON(text);
    const Json theirs = Json::parse(text.begin(), text.end(), nullptr, false);
    if (ours) {
        if (theirs.is_discarded() || *ours != theirs) {
            std::abort();
        }
    } else if (!theirs.is_discarded() && depthOf(theirs) <= maxJSONDepth &&
               text.substr(0, 3) != "\xEF\xBB\xBF" && text.find('\0') == std::string_view::npos) {
        std::abort();
    }
    return 0;
}
