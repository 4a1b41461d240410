#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "app/controls/session_shell.h"

namespace quillory {

// Opening the application at login, as an XDG autostart entry "quillory.desktop". The user's
// entry decides; without one, the first system entry does. Approval is never needed on Linux.
// Main thread.
class MacLoginItem final : public LoginItemControl {
    Q_OBJECT

  public:
    static constexpr const char* fileName = "quillory.desktop";
    static constexpr const char* addFailure = "Couldn’t add Quillory to your login items.";
    static constexpr const char* removeFailure = "Couldn’t remove Quillory from your login items.";

    enum class Status { notRegistered, enabled, notFound };

    struct Locations {
        std::filesystem::path userFolder;                  // written here
        std::vector<std::filesystem::path> systemFolders;  // most important first
        std::filesystem::path executable;                  // the entry's Exec

        // $XDG_CONFIG_HOME/autostart, the $XDG_CONFIG_DIRS autostart folders, this program.
        static Locations system();
    };

    explicit MacLoginItem(Locations locations, QObject* parent = nullptr);

    void setEnabled(bool enabled) override;
    void refresh() override;

    Status status() const;

  private:
    bool enable() const;
    bool disable() const;
    // A hidden entry masks a system one; else the entry that starts this program.
    bool writeUserEntry(bool hidden) const;
    std::filesystem::path userEntry() const { return locations_.userFolder / fileName; }
    std::optional<std::filesystem::path> systemEntry() const;

    Locations locations_;
};

}  // namespace quillory
