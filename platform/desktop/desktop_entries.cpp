#include "platform/desktop/desktop_entries.h"

#include <algorithm>

#include "platform/desktop/desktop_entry_file.h"
#include "platform/files/xdg_dirs.h"

namespace quillory {

namespace {

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::filesystem::path> xdgApplicationDirectories() {
    std::vector<std::filesystem::path> result{xdgDataHome() / "applications"};
    for (const auto& folder : xdgDataDirs()) {
        result.push_back(folder / "applications");
    }
    return result;
}

}  // namespace

DesktopEntries& DesktopEntries::shared() {
    static DesktopEntries entries(xdgApplicationDirectories());
    return entries;
}

DesktopEntries::DesktopEntries(std::vector<std::filesystem::path> directories)
    : directories_(std::move(directories)) {}

void DesktopEntries::load() const {
    std::error_code ignored;
    for (const auto& directory : directories_) {
        for (const auto& path : std::filesystem::directory_iterator(directory, ignored)) {
            if (path.path().extension() != ".desktop") {
                continue;
            }
            const auto file = DesktopEntryFile::read(path.path());
            if (!file) {
                continue;
            }
            Entry entry{path.path().stem().string(), file.value().string("Name").value_or(""),
                        file.value().string("Icon").value_or("")};
            const std::string wmClass = file.value().string("StartupWMClass").value_or("");
            // Earlier directories take precedence, as XDG orders them.
            byID_.try_emplace(lowercased(entry.id), entry);
            if (!wmClass.empty()) {
                byClass_.try_emplace(lowercased(wmClass), entry);
            }
        }
    }
}

std::optional<DesktopEntries::Entry> DesktopEntries::find(const std::string& windowClass) const {
    if (windowClass.empty()) {
        return std::nullopt;
    }
    std::call_once(loaded_, [this] { load(); });
    const std::string key = lowercased(windowClass);
    if (auto found = byClass_.find(key); found != byClass_.end()) {
        return found->second;
    }
    if (auto found = byID_.find(key); found != byID_.end()) {
        return found->second;
    }
    for (const auto& [id, entry] : byID_) {
        if (id.ends_with("." + key)) {
            return entry;
        }
    }
    return std::nullopt;
}

}  // namespace quillory
