#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/shortcuts/shortcut_layout.h"
#include "core/shortcuts/toolbar_source.h"
#include "platform/defaults/user_defaults.h"
#include "protocol/desktop_context.h"

namespace quillory {

// The user's own toolbar layouts per application and platform, kept in the user defaults as one
// JSON record, with the display names of those applications and the dismissed ones. Not locked:
// one instance is used from one thread at a time.
//
// Parts of a stored record that this version cannot read (a binding with an unknown action or
// key, a mistyped entry, members it does not know) are kept as they are and written back with
// every save, so an older or newer record is never erased by reading it.
class ShortcutPreferences {
  public:
    static constexpr const char* recordKey = "drawingShortcutPreferences.v2";
    static constexpr const char* retiredKey = "drawingShortcutPreferences.v1";
    static constexpr std::size_t maximumNameCharacters = 256;

    using Platform = DesktopContext::Platform;

    struct Record {
        std::int64_t revision = 2;
        std::map<std::string, ShortcutLayout> toolbars;  // by application key
        std::set<std::string> dismissed;
        std::map<std::string, std::string> names;

        friend bool operator==(const Record&, const Record&) = default;
    };

    struct SavedApp {
        std::string applicationID;
        std::string name;
        friend bool operator==(const SavedApp&, const SavedApp&) = default;
    };

    // Loads the record and removes the retired key unread (saving at once when it was there).
    explicit ShortcutPreferences(std::shared_ptr<UserDefaults> defaults);

    ToolbarSource source(std::string_view applicationID, Platform platform) const;
    ShortcutLayout layout(std::string_view applicationID, Platform platform) const;
    // Keeps the first 16 bindings and the first 256 characters of the name.
    void setLayout(ShortcutLayout layout, std::string_view applicationID, std::string_view name,
                   Platform platform);
    void removeLayout(std::string_view applicationID, Platform platform);
    bool isDismissed(std::string_view applicationID, Platform platform) const;
    void dismiss(std::string_view applicationID, Platform platform);
    // Sorted by display name in the user's locale, ignoring case.
    std::vector<SavedApp> savedApps(Platform platform) const;
    void save();

    const Record& record() const { return record_; }

    // "mac." or "windows." followed by the identifier as given.
    static std::string applicationKey(std::string_view applicationID, Platform platform);

  private:
    // What a stored record held that did not read, to be written back unchanged.
    struct Unread {
        std::optional<Json> revision;
        std::map<std::string, Json> toolbars;  // the whole stored layout, by application key
        std::vector<Json> dismissed;
        std::map<std::string, Json> names;
        Json otherMembers = Json::object();
    };

    void load();
    Json encoded() const;
    void forgetUnread(const std::string& key);

    std::shared_ptr<UserDefaults> defaults_;
    Record record_;
    Unread unread_;
};

}  // namespace quillory
