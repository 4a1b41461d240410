// Any text: the reader never fails hard, and whatever it accepts survives writing and reading
// back: string values unchanged, Exec arguments unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/desktop/desktop_entry_file.h"

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (unescapeDesktopString(escapeDesktopString(text)) != std::string(text)) {
        std::abort();
    }
    const auto parsed = DesktopEntryFile::parse(text);
    if (!parsed) {
        return 0;
    }
    if (const auto arguments = parsed.value().exec()) {
        DesktopEntryFile written;
        written.setExec(*arguments);
        const auto reread = DesktopEntryFile::parse(written.serialize());
        if (!reread || reread.value().exec() != arguments) {
            std::abort();
        }
    }
    return 0;
}
