#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quillory {

// The installed applications' .desktop files, matched by window class.
class DesktopEntries {
  public:
    struct Entry {
        std::string id;  // file id without ".desktop"
        std::string name;
        std::string icon;  // the Icon key: a theme icon name or an absolute path
    };

    // Reads the XDG application directories once, on first use.
    static DesktopEntries& shared();
    explicit DesktopEntries(std::vector<std::filesystem::path> directories);

    // By StartupWMClass, then by file id, case-insensitively; then by the id's last component
    // ("org.example.Editor" for class "editor").
    std::optional<Entry> find(const std::string& windowClass) const;

  private:
    void load() const;

    std::vector<std::filesystem::path> directories_;
    mutable std::once_flag loaded_;
    mutable std::map<std::string, Entry> byClass_;
    mutable std::map<std::string, Entry> byID_;
};

}  // namespace quillory
