#include "platform/desktop/desktop_entries.h"

#include <algorithm>
#include <fstream>

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
        for (const auto& file : std::filesystem::directory_iterator(directory, ignored)) {
            if (file.path().extension() != ".desktop") {
                continue;
            }
            Entry entry{file.path().stem().string(), {}, {}};
            std::string wmClass;
            std::ifstream in(file.path());
            bool main = false;
            for (std::string line; std::getline(in, line);) {
                if (line.starts_with('[')) {
                    main = line == "[Desktop Entry]";
                } else if (main && line.starts_with("Name=")) {
                    entry.name = line.substr(5);
                } else if (main && line.starts_with("Icon=")) {
                    entry.icon = line.substr(5);
                } else if (main && line.starts_with("StartupWMClass=")) {
                    wmClass = line.substr(15);
                }
            }
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
