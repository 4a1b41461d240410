#include "core/shortcuts/shortcut_preferences.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

using A = DrawingAction;
using K = DesktopKey;
using Platform = DesktopContext::Platform;
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
    EXPECT_EQ(preferences.source("com.adobe.photoshop.2025", Platform::windows),
              ToolbarSource::preset("Photoshop"));
    EXPECT_EQ(preferences.source("org.gimp.GIMP", Platform::windows), ToolbarSource::basic());
    EXPECT_EQ(preferences.layout("org.gimp.GIMP", Platform::windows).bindings[0].keys,
              (std::vector<K>{K::control, K::z}));
    EXPECT_EQ(preferences.layout("org.kde.Krita", Platform::mac).bindings[0].keys,
              (std::vector<K>{K::command, K::z}));
    EXPECT_TRUE(preferences.savedApps(Platform::mac).empty());
    EXPECT_FALSE(defaults->value(recordKey));
}

TEST_F(ShortcutPreferencesTest, RetiredKeyIsRemovedAndTheRecordWrittenAtOnce) {
    defaults->set(ShortcutPreferences::retiredKey, "anything");
    ShortcutPreferences preferences(defaults);
    EXPECT_FALSE(defaults->value(ShortcutPreferences::retiredKey));
    EXPECT_EQ(stored(), (Json{{"revision", 2},
                              {"toolbars", Json::object()},
                              {"dismissed", Json::array()},
                              {"names", Json::object()}}));
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
    EXPECT_TRUE(preferences.savedApps(Platform::windows).empty());
    EXPECT_TRUE(stored()["toolbars"].contains("mac.org.kde.krita"));

    // Identifiers that differ in case are two entries but share a preset.
    preferences.setLayout(layoutOf(1), "ORG.KDE.KRITA", "Krita 2", Platform::mac);
    EXPECT_EQ(preferences.savedApps(Platform::mac).size(), 3u);
    EXPECT_EQ(preferences.source("Org.Kde.Krita", Platform::mac), ToolbarSource::preset("Krita"));
}

TEST_F(ShortcutPreferencesTest, NamesAreCutOnCharactersAndListedSortedWithoutCase) {
    ShortcutPreferences preferences(defaults);
    std::string long_name;
    for (int index = 0; index < 300; ++index) {
        long_name += "e\u0301";  // one character of two code points
    }
    preferences.setLayout(layoutOf(1), "long", long_name, Platform::windows);
    preferences.setLayout(layoutOf(1), "blank", "", Platform::windows);
    preferences.setLayout(layoutOf(1), "b", "beta", Platform::windows);
    preferences.setLayout(layoutOf(1), "a", "Alpha", Platform::windows);
    preferences.setLayout(layoutOf(1), "other", "zulu", Platform::mac);

    std::string expected;
    for (int index = 0; index < 256; ++index) {
        expected += "e\u0301";
    }
    const auto apps = preferences.savedApps(Platform::windows);
    using App = ShortcutPreferences::SavedApp;
    EXPECT_EQ(apps,
              (std::vector<App>{{"blank", ""}, {"a", "Alpha"}, {"b", "beta"}, {"long", expected}}));
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

TEST_F(ShortcutPreferencesTest, AnotherInstanceReadsWhatWasSaved) {
    ShortcutPreferences first(defaults);
    first.setLayout(layoutOf(3), "org.kde.krita", "Krita", Platform::windows);
    first.dismiss("x", Platform::mac);
    const ShortcutPreferences second(defaults);
    EXPECT_EQ(second.record(), first.record());
}

TEST_F(ShortcutPreferencesTest, UnreadablePartsSurviveASave) {
    const Json good = {{"id", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
                       {"action", "undo"},
                       {"keys", {"control", "z"}},
                       {"hold", false}};
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
    EXPECT_EQ(preferences.record().revision, 7);
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
    EXPECT_EQ(stored()["future"], original["future"]);
}

TEST_F(ShortcutPreferencesTest, RecordsMissingCollectionsOrNotObjectsLoseNothing) {
    const Json partial = {{"revision", 2},
                          {"toolbars", {{"mac.x", {{"bindings", Json::array()}}}}}};
    defaults->set(recordKey, partial);
    {
        ShortcutPreferences preferences(defaults);
        EXPECT_EQ(preferences.source("x", Platform::mac), ToolbarSource::custom());
        preferences.save();
        EXPECT_TRUE(stored()["toolbars"].contains("mac.x"));
        EXPECT_EQ(stored()["dismissed"], Json::array());
    }
    defaults->set(recordKey, "garbage");
    ShortcutPreferences preferences(defaults);
    EXPECT_EQ(preferences.record(), ShortcutPreferences::Record{});
    preferences.save();
    EXPECT_EQ(stored()["unreadableRecord"], "garbage");
}

}  // namespace
}  // namespace quillory
