#include <gtest/gtest.h>

#include "core/shortcuts/shortcut_preferences.h"
#include "core/shortcuts/shortcut_presets.h"
#include "platform/defaults/testing/memory_user_defaults.h"

namespace quillory {
namespace {

using A = DrawingAction;
using K = DesktopKey;
using Platform = DesktopContext::Platform;

TEST(ShortcutBindingTest, HoldAndTitleFollowTheActionUnlessGiven) {
    EXPECT_TRUE(ShortcutBinding(A::straightLine, {K::shift}).hold);
    EXPECT_FALSE(ShortcutBinding(A::pan, {K::space}, {.hold = false}).hold);
    EXPECT_EQ(ShortcutBinding(A::brush, {K::b}, {.label = ""}).title(), "Brush");
    EXPECT_EQ(ShortcutBinding(A::brush, {K::b}, {.label = "Ink"}).title(), "Ink");
    EXPECT_EQ(ShortcutBinding(A::custom, {K::command, K::shift, K::s}).title(), "⇧⌘S");
    EXPECT_EQ(ShortcutBinding(A::custom, {}).title(), "");
}

TEST(ShortcutBindingTest, JSONRequiresTheFourCoreKeysAndKnownNames) {
    const Json valid =
        Json::parse(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
                    R"("action":"undo","keys":["control","z"],"hold":false,"label":null})");
    const auto binding = ShortcutBinding::fromJSON(valid);
    ASSERT_TRUE(binding);
    Json written = valid;
    written.erase("label");
    EXPECT_EQ(binding->toJSON(), written);

    for (const auto& [key, value] : std::vector<std::pair<std::string, Json>>{
             {"action", "Undo"}, {"keys", {"control", "Z"}}, {"hold", "false"}, {"id", "x"}}) {
        Json broken = valid;
        broken[key] = value;
        EXPECT_FALSE(ShortcutBinding::fromJSON(broken)) << key;
    }
    for (const char* key : {"id", "action", "keys", "hold"}) {
        Json missing = valid;
        missing.erase(key);
        EXPECT_FALSE(ShortcutBinding::fromJSON(missing)) << key;
    }

    ShortcutBinding full(A::custom, {K::f5},
                         {.label = "Run", .icon = "play", .menuPath = {{"Go"}}});
    EXPECT_EQ(ShortcutBinding::fromJSON(full.toJSON()), full);
}

TEST(ShortcutLayoutTest, MissingOptionsTakeDefaultsAndAreWrittenBack) {
    const auto layout = ShortcutLayout::fromJSON(Json{{"bindings", Json::array()}});
    ASSERT_TRUE(layout);
    EXPECT_EQ(*layout, ShortcutLayout{});
    EXPECT_EQ(layout->toJSON().size(), 4u);

    EXPECT_FALSE(ShortcutLayout::fromJSON(Json{{"labels", true}}));
    const Json oneBad = {{"bindings", {Json::object()}}, {"brushSize", nullptr}};
    EXPECT_FALSE(ShortcutLayout::fromJSON(oneBad));
    const auto partial = ShortcutLayout::fromJSONKeepingReadableBindings(oneBad);
    ASSERT_TRUE(partial);
    EXPECT_FALSE(partial->complete);
    EXPECT_EQ(partial->layout, ShortcutLayout{});
}

TEST(ShortcutPresetsTest, MatchesLowerCasedIdentifiersInOrder) {
    const auto title = [](std::string_view identifier) {
        const auto* preset = ShortcutPresets::preset(identifier);
        return preset ? preset->title : "";
    };
    EXPECT_EQ(title("COM.Adobe.Photoshop"), "Photoshop");
    EXPECT_EQ(title("org.kde.krita"), "Krita");
    EXPECT_EQ(title("Kritadesktop"), "Krita");
    EXPECT_EQ(title("com.seriflabs.affinityphoto2"), "Affinity");
    EXPECT_EQ(title("com.adobe.photoshop.krita"), "Photoshop");
    EXPECT_EQ(title(""), "");
    EXPECT_EQ(title("org.gimp.GIMP"), "");
}

TEST(ShortcutPresetsTest, LayoutsUseThePlatformsPrimaryModifierAndAreFresh) {
    for (const auto& [platform, primary, action] :
         {std::tuple{Platform::mac, K::command, A::command},
          std::tuple{Platform::windows, K::control, A::control}}) {
        EXPECT_EQ(ShortcutPresets::primaryModifier(platform), primary);
        const ShortcutLayout layout = ShortcutPresets::basicLayout(platform);
        ASSERT_FALSE(layout.bindings.empty());
        EXPECT_EQ(layout.bindings.front().keys, (std::vector<K>{primary, K::z}));
        EXPECT_EQ(layout.bindings.back().action, action);
        EXPECT_EQ(layout.bindings.back().keys, std::vector<K>{primary});
        EXPECT_TRUE(layout.bindings.back().hold);
    }
    const ShortcutLayout krita = ShortcutPresets::preset("krita")->make(K::control);
    EXPECT_EQ(krita.bindings[3].action, A::picker);
    EXPECT_EQ(krita.bindings[3].keys, std::vector<K>{K::control});
    EXPECT_NE(ShortcutPresets::preset("krita")->make(K::control).bindings[0].id(),
              krita.bindings[0].id());

    for (const auto& preset : ShortcutPresets::all()) {
        const ShortcutLayout made = preset.make(K::command);
        for (const auto& binding : made.bindings) {
            EXPECT_EQ(binding.hold, holdsByDefault(binding.action)) << preset.title;
            EXPECT_TRUE(isValidKeyChord(binding.keys));
        }
    }
}

// The user defaults hold documents whose key order does not count.
using Json = nlohmann::json;

constexpr const char* recordKey = ShortcutPreferences::recordKey;

class ShortcutPreferencesTest : public ::testing::Test {
  protected:
    std::shared_ptr<MemoryUserDefaults> defaults = std::make_shared<MemoryUserDefaults>();

    Json stored() const { return defaults->value(recordKey).value_or(Json()); }

    static ShortcutLayout layoutOf(std::size_t count) {
        ShortcutLayout layout;
        for (std::size_t index = 0; index < count; ++index) {
            layout.bindings.emplace_back(A::custom, std::vector<K>{K::f1},
                                         ShortcutBinding::Options{.label = std::to_string(index)});
        }
        layout.labels = true;
        layout.pencilSqueeze = "eraser";
        return layout;
    }
};

TEST_F(ShortcutPreferencesTest, WithNothingStoredFallsBackAndWritesNothing) {
    ShortcutPreferences preferences(defaults);
    EXPECT_EQ(preferences.layout("org.gimp.GIMP", Platform::windows).bindings[0].keys,
              (std::vector<K>{K::control, K::z}));
    EXPECT_EQ(preferences.layout("org.kde.Krita", Platform::mac).bindings[0].keys,
              (std::vector<K>{K::command, K::z}));
    EXPECT_FALSE(defaults->value(recordKey));
}

TEST_F(ShortcutPreferencesTest, RetiredKeyIsRemovedAndTheRecordWrittenAtOnce) {
    defaults->set(ShortcutPreferences::retiredKey, "anything");
    ShortcutPreferences preferences(defaults);
    EXPECT_FALSE(defaults->value(ShortcutPreferences::retiredKey));
    EXPECT_EQ(stored(), Json::parse(R"({"revision":2,"toolbars":{},"dismissed":[],"names":{}})"));
}

TEST_F(ShortcutPreferencesTest, StoredLayoutsAreLimitedAndPerPlatform) {
    ShortcutPreferences preferences(defaults);
    preferences.setLayout(layoutOf(20), "org.kde.krita", "Krita", Platform::mac);
    preferences.setLayout(layoutOf(16), "org.gimp.GIMP", "GIMP", Platform::mac);
    const ShortcutLayout krita = preferences.layout("org.kde.krita", Platform::mac);
    ASSERT_EQ(krita.bindings.size(), 16u);
    EXPECT_EQ(krita.bindings[15].label, "15");
    EXPECT_TRUE(krita.labels);
    EXPECT_EQ(krita.pencilSqueeze, "eraser");
    EXPECT_EQ(preferences.layout("org.gimp.GIMP", Platform::mac).bindings.size(), 16u);

    EXPECT_EQ(preferences.source("org.kde.krita", Platform::mac), ToolbarSource::custom());
    EXPECT_EQ(preferences.source("org.kde.krita", Platform::windows),
              ToolbarSource::preset("Krita"));
    EXPECT_TRUE(stored()["toolbars"].contains("mac.org.kde.krita"));

    // Identifiers that differ in case are two entries but share a preset.
    preferences.setLayout(layoutOf(1), "ORG.KDE.KRITA", "Krita 2", Platform::mac);
    EXPECT_EQ(preferences.savedApps(Platform::mac).size(), 3u);
    EXPECT_EQ(preferences.source("Org.Kde.Krita", Platform::mac), ToolbarSource::preset("Krita"));
    // Another instance reads what was saved.
    EXPECT_EQ(ShortcutPreferences(defaults).record(), preferences.record());
}

TEST_F(ShortcutPreferencesTest, NamesAreCutOnCharactersAndListedSortedWithoutCase) {
    const auto accented = [](int characters) {
        std::string text;
        for (int index = 0; index < characters; ++index) {
            text += "e\u0301";  // one character of two code points
        }
        return text;
    };
    ShortcutPreferences preferences(defaults);
    preferences.setLayout(layoutOf(1), "long", accented(300), Platform::windows);
    preferences.setLayout(layoutOf(1), "blank", "", Platform::windows);
    preferences.setLayout(layoutOf(1), "b", "beta", Platform::windows);
    preferences.setLayout(layoutOf(1), "a", "Alpha", Platform::windows);
    using App = ShortcutPreferences::SavedApp;
    EXPECT_EQ(
        preferences.savedApps(Platform::windows),
        (std::vector<App>{{"blank", ""}, {"a", "Alpha"}, {"b", "beta"}, {"long", accented(256)}}));
}

TEST_F(ShortcutPreferencesTest, RemovingAndDismissingAlwaysSave) {
    ShortcutPreferences preferences(defaults);
    preferences.dismiss("org.kde.krita", Platform::mac);
    preferences.dismiss("org.kde.krita", Platform::mac);
    EXPECT_TRUE(preferences.isDismissed("org.kde.krita", Platform::mac));
    EXPECT_FALSE(preferences.isDismissed("org.kde.krita", Platform::windows));
    EXPECT_EQ(stored()["dismissed"], Json::array({"mac.org.kde.krita"}));

    defaults->remove(recordKey);
    preferences.removeLayout("org.kde.krita", Platform::mac);
    EXPECT_EQ(stored()["dismissed"], Json::array({"mac.org.kde.krita"}));
}

TEST_F(ShortcutPreferencesTest, UnreadablePartsSurviveASave) {
    const Json good = Json::parse(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
                                  R"("action":"undo","keys":["control","z"],"hold":false})");
    Json unknownAction = good;
    unknownAction["id"] = "0D6A4E1C-9C39-4C3B-A3A7-4C3B1D2E2F10";
    unknownAction["action"] = "smudge";
    Json unknownKey = good;
    unknownKey["keys"] = {"control", "hyper"};
    const Json original = {
        {"revision", 7},
        {"toolbars",
         {{"windows.org.kde.krita", {{"bindings", {good, unknownAction}}, {"labels", true}}},
          {"windows.org.gimp.GIMP", {{"bindings", {unknownKey}}}},
          {"windows.broken", "not a layout"}}},
        {"names", {{"windows.org.kde.krita", "Krita"}, {"windows.broken", 5}}},
        {"dismissed", {"mac.a", 3}},
        {"future", {{"anything", true}}}};
    defaults->set(recordKey, original);

    ShortcutPreferences preferences(defaults);
    const ShortcutLayout krita = preferences.layout("org.kde.krita", Platform::windows);
    ASSERT_EQ(krita.bindings.size(), 1u);
    EXPECT_EQ(krita.bindings[0].action, A::undo);
    EXPECT_TRUE(krita.labels);
    EXPECT_TRUE(preferences.isDismissed("a", Platform::mac));
    EXPECT_EQ(preferences.source("broken", Platform::windows), ToolbarSource::basic());

    // A change elsewhere writes every unread part back as it was.
    preferences.dismiss("b", Platform::mac);
    Json expected = original;
    expected["dismissed"] = {"mac.a", "mac.b", 3};
    EXPECT_EQ(stored(), expected);

    // Replacing one application's layout drops only that application's unread bindings.
    preferences.setLayout(layoutOf(1), "org.kde.krita", "Krita", Platform::windows);
    EXPECT_EQ(stored()["toolbars"]["windows.org.gimp.GIMP"],
              original["toolbars"]["windows.org.gimp.GIMP"]);
    EXPECT_EQ(stored()["toolbars"]["windows.org.kde.krita"]["bindings"].size(), 1u);
    preferences.removeLayout("broken", Platform::windows);
    EXPECT_FALSE(stored()["toolbars"].contains("windows.broken"));
    EXPECT_FALSE(stored()["names"].contains("windows.broken"));
}

TEST_F(ShortcutPreferencesTest, RecordsMissingCollectionsOrNotObjectsLoseNothing) {
    const Json partial = {{"revision", 2},
                          {"toolbars", {{"mac.x", {{"bindings", Json::array()}}}}}};
    defaults->set(recordKey, partial);
    ShortcutPreferences(defaults).save();
    EXPECT_EQ(ShortcutPreferences(defaults).source("x", Platform::mac), ToolbarSource::custom());
    EXPECT_EQ(stored()["dismissed"], Json::array());

    defaults->set(recordKey, "garbage");
    ShortcutPreferences preferences(defaults);
    EXPECT_EQ(preferences.record(), ShortcutPreferences::Record{});
    preferences.save();
    EXPECT_EQ(stored()["unreadableRecord"], "garbage");
}

}  // namespace
}  // namespace quillory
