#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace quillory {

// The XDG base folders. As the XDG rules say, a variable that is unset, empty or relative counts
// as unset, and relative entries of the lists are skipped.

// $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path xdgDataHome();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path xdgConfigHome();
// $XDG_STATE_HOME, else ~/.local/state.
std::filesystem::path xdgStateHome();
// $XDG_CACHE_HOME, else ~/.cache.
std::filesystem::path xdgCacheHome();
// $XDG_RUNTIME_DIR; nothing when it is not set to an absolute path.
std::optional<std::filesystem::path> xdgRuntimeDir();
// $XDG_DATA_DIRS, else /usr/local/share and /usr/share; most important first.
std::vector<std::filesystem::path> xdgDataDirs();
// $XDG_CONFIG_DIRS, else /etc/xdg; most important first.
std::vector<std::filesystem::path> xdgConfigDirs();

}  // namespace quillory
