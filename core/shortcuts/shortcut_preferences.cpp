#include "core/shortcuts/shortcut_preferences.h"

#include <algorithm>

#include "core/shortcuts/shortcut_presets.h"
#include "platform/text/text_units.h"

namespace quillory {

namespace {

constexpr const char* revisionMember = "revision";
constexpr const char* toolbarsMember = "toolbars";
constexpr const char* dismissedMember = "dismissed";
constexpr const char* namesMember = "names";

}  // namespace

ShortcutPreferences::ShortcutPreferences(std::shared_ptr<UserDefaults> defaults)
    : defaults_(std::move(defaults)) {
    load();
    if (defaults_->value(retiredKey)) {
        defaults_->remove(retiredKey);
        save();
    }
}

std::string ShortcutPreferences::applicationKey(std::string_view applicationID, Platform platform) {
    std::string key(rawValue(platform));
    key += '.';
    key += applicationID;
    return key;
}

// Reads entry by entry: what reads joins the record, what does not is kept aside in `unread_`.
void ShortcutPreferences::load() {
    const std::optional<nlohmann::json> value = defaults_->value(recordKey);
    if (!value) {
        return;
    }
    const Json stored(*value);
    if (!stored.is_object()) {
        // Nothing of it can be merged into a record; the next save would overwrite it whole.
        unread_.otherMembers = Json::object({{"unreadableRecord", stored}});
        return;
    }
    for (const auto& [member, entry] : stored.items()) {
        if (member == revisionMember) {
            if (entry.is_number_integer()) {
                record_.revision = entry.get<std::int64_t>();
            } else {
                unread_.revision = entry;
            }
        } else if (member == toolbarsMember && entry.is_object()) {
            for (const auto& [key, layoutJSON] : entry.items()) {
                auto read = ShortcutLayout::fromJSONKeepingReadableBindings(layoutJSON);
                if (read) {
                    record_.toolbars.emplace(key, std::move(read->layout));
                }
                if (!read || !read->complete) {
                    unread_.toolbars.emplace(key, layoutJSON);
                }
            }
        } else if (member == dismissedMember && entry.is_array()) {
            for (const auto& element : entry) {
                if (element.is_string()) {
                    record_.dismissed.insert(element.get<std::string>());
                } else {
                    unread_.dismissed.push_back(element);
                }
            }
        } else if (member == namesMember && entry.is_object()) {
            for (const auto& [key, name] : entry.items()) {
                if (name.is_string()) {
                    record_.names.emplace(key, name.get<std::string>());
                } else {
                    unread_.names.emplace(key, name);
                }
            }
        } else {
            unread_.otherMembers[member] = entry;
        }
    }
}

Json ShortcutPreferences::encoded() const {
    Json toolbars = Json::object();
    for (const auto& [key, layout] : record_.toolbars) {
        toolbars[key] = layout.toJSON();
    }
    for (const auto& [key, layout] : unread_.toolbars) {
        toolbars[key] = layout;
    }
    Json dismissed = Json::array();
    for (const auto& key : record_.dismissed) {
        dismissed.push_back(key);
    }
    for (const auto& entry : unread_.dismissed) {
        dismissed.push_back(entry);
    }
    Json names = Json::object();
    for (const auto& [key, name] : record_.names) {
        names[key] = name;
    }
    for (const auto& [key, name] : unread_.names) {
        names[key] = name;
    }
    Json record = unread_.otherMembers;
    record[revisionMember] = unread_.revision.value_or(Json(record_.revision));
    record[toolbarsMember] = std::move(toolbars);
    record[dismissedMember] = std::move(dismissed);
    record[namesMember] = std::move(names);
    return record;
}

// The user replaced or removed what was stored for this application.
void ShortcutPreferences::forgetUnread(const std::string& key) {
    unread_.toolbars.erase(key);
    unread_.names.erase(key);
}

ToolbarSource ShortcutPreferences::source(std::string_view applicationID, Platform platform) const {
    if (record_.toolbars.contains(applicationKey(applicationID, platform))) {
        return ToolbarSource::custom();
    }
    if (const auto* preset = ShortcutPresets::preset(applicationID)) {
        return ToolbarSource::preset(preset->title);
    }
    return ToolbarSource::basic();
}

ShortcutLayout ShortcutPreferences::layout(std::string_view applicationID,
                                           Platform platform) const {
    if (const auto stored = record_.toolbars.find(applicationKey(applicationID, platform));
        stored != record_.toolbars.end()) {
        return stored->second;
    }
    if (const auto* preset = ShortcutPresets::preset(applicationID)) {
        return preset->make(ShortcutPresets::primaryModifier(platform));
    }
    return ShortcutPresets::basicLayout(platform);
}

void ShortcutPreferences::setLayout(ShortcutLayout layout, std::string_view applicationID,
                                    std::string_view name, Platform platform) {
    if (layout.bindings.size() > ShortcutLayout::maximumBindings) {
        layout.bindings.erase(layout.bindings.begin() + ShortcutLayout::maximumBindings,
                              layout.bindings.end());
    }
    const std::string key = applicationKey(applicationID, platform);
    forgetUnread(key);
    record_.toolbars.insert_or_assign(key, std::move(layout));
    record_.names.insert_or_assign(key,
                                   std::string(leadingCharacters(name, maximumNameCharacters)));
    save();
}

void ShortcutPreferences::removeLayout(std::string_view applicationID, Platform platform) {
    const std::string key = applicationKey(applicationID, platform);
    forgetUnread(key);
    record_.toolbars.erase(key);
    record_.names.erase(key);
    save();
}

bool ShortcutPreferences::isDismissed(std::string_view applicationID, Platform platform) const {
    return record_.dismissed.contains(applicationKey(applicationID, platform));
}

void ShortcutPreferences::dismiss(std::string_view applicationID, Platform platform) {
    record_.dismissed.insert(applicationKey(applicationID, platform));
    save();
}

std::vector<ShortcutPreferences::SavedApp> ShortcutPreferences::savedApps(Platform platform) const {
    const std::string prefix = applicationKey("", platform);
    std::vector<SavedApp> apps;
    for (const auto& [key, layout] : record_.toolbars) {
        if (!key.starts_with(prefix)) {
            continue;
        }
        std::string identifier = key.substr(prefix.size());
        const auto name = record_.names.find(key);
        apps.push_back({identifier, name != record_.names.end() ? name->second : identifier});
    }
    const LocalizedCaseInsensitiveOrder order;
    std::stable_sort(apps.begin(), apps.end(),
                     [&](const SavedApp& a, const SavedApp& b) { return order(a.name, b.name); });
    return apps;
}

void ShortcutPreferences::save() {
    defaults_->set(recordKey, nlohmann::json(encoded()));
}

}  // namespace quillory
