#include "platform/files/xdg_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace quillory {

namespace {

std::optional<std::filesystem::path> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

std::vector<std::filesystem::path> absoluteEntries(std::string_view list) {
    std::vector<std::filesystem::path> folders;
    while (!list.empty()) {
        const auto colon = list.find(':');
        if (const auto entry = list.substr(0, colon); entry.starts_with('/')) {
            folders.emplace_back(entry);
        }
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return folders;
}

// A list with no absolute entry counts as unset.
std::vector<std::filesystem::path> folderList(const char* name, std::string_view fallback) {
    const char* value = std::getenv(name);
    auto folders = absoluteEntries(value != nullptr ? value : "");
    return folders.empty() ? absoluteEntries(fallback) : folders;
}

}  // namespace

std::filesystem::path xdgDataHome() {
    return absoluteVariable("XDG_DATA_HOME").value_or(homeFolder() / ".local" / "share");
}

std::filesystem::path xdgConfigHome() {
    return absoluteVariable("XDG_CONFIG_HOME").value_or(homeFolder() / ".config");
}

std::filesystem::path xdgStateHome() {
    return absoluteVariable("XDG_STATE_HOME").value_or(homeFolder() / ".local" / "state");
}

std::filesystem::path xdgCacheHome() {
    return absoluteVariable("XDG_CACHE_HOME").value_or(homeFolder() / ".cache");
}

std::optional<std::filesystem::path> xdgRuntimeDir() {
    return absoluteVariable("XDG_RUNTIME_DIR");
}

std::vector<std::filesystem::path> xdgDataDirs() {
    return folderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

std::vector<std::filesystem::path> xdgConfigDirs() {
    return folderList("XDG_CONFIG_DIRS", "/etc/xdg");
}

}  // namespace quillory
