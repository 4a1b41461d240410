#include "core/shortcuts/shortcut_presets.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

using A = DrawingAction;
using K = DesktopKey;
using Platform = DesktopContext::Platform;

std::string presetTitle(std::string_view identifier) {
    const auto* preset = ShortcutPresets::preset(identifier);
    return preset ? preset->title : "";
}

TEST(ShortcutPresetsTest, MatchesLowerCasedIdentifiersInOrder) {
    EXPECT_EQ(presetTitle("COM.Adobe.Photoshop"), "Photoshop");
    EXPECT_EQ(presetTitle("org.kde.krita"), "Krita");
    EXPECT_EQ(presetTitle("Kritadesktop"), "Krita");
    EXPECT_EQ(presetTitle("com.seriflabs.affinityphoto2"), "Affinity");
    EXPECT_EQ(presetTitle("com.adobe.photoshop.krita"), "Photoshop");
    EXPECT_EQ(presetTitle(""), "");
    EXPECT_EQ(presetTitle("org.gimp.GIMP"), "");
}

TEST(ShortcutPresetsTest, BasicLayoutUsesThePlatformsPrimaryModifier) {
    EXPECT_EQ(ShortcutPresets::primaryModifier(Platform::mac), K::command);
    EXPECT_EQ(ShortcutPresets::primaryModifier(Platform::windows), K::control);
    for (const auto& [platform, primary, action] :
         {std::tuple{Platform::mac, K::command, A::command},
          std::tuple{Platform::windows, K::control, A::control}}) {
        const ShortcutLayout layout = ShortcutPresets::basicLayout(platform);
        ASSERT_EQ(layout.bindings.size(), 5u);
        EXPECT_EQ(layout.bindings[0].keys, (std::vector<K>{primary, K::z}));
        EXPECT_EQ(layout.bindings[1].keys, (std::vector<K>{primary, K::shift, K::z}));
        EXPECT_EQ(layout.bindings[2].action, A::shift);
        EXPECT_EQ(layout.bindings[3].action, A::option);
        EXPECT_EQ(layout.bindings[4].action, action);
        EXPECT_EQ(layout.bindings[4].keys, std::vector<K>{primary});
        EXPECT_TRUE(layout.bindings[4].hold);
        EXPECT_FALSE(layout.brushSize);
    }
}

TEST(ShortcutPresetsTest, LayoutsAreFreshAndHoldAsTheirActionsDo) {
    const auto* krita = ShortcutPresets::preset("krita");
    ASSERT_NE(krita, nullptr);
    const ShortcutLayout layout = krita->make(K::control);
    EXPECT_EQ(layout.bindings[3].action, A::picker);
    EXPECT_EQ(layout.bindings[3].keys, std::vector<K>{K::control});
    EXPECT_TRUE(layout.bindings[3].hold);
    EXPECT_NE(krita->make(K::control).bindings[0].id(), layout.bindings[0].id());

    std::vector<std::size_t> sizes;
    for (const auto& preset : ShortcutPresets::all()) {
        const ShortcutLayout made = preset.make(K::command);
        sizes.push_back(made.bindings.size());
        EXPECT_TRUE(made.brushSize && made.fingerGestures && !made.labels);
        for (const auto& binding : made.bindings) {
            EXPECT_EQ(binding.hold, holdsByDefault(binding.action)) << preset.title;
            EXPECT_TRUE(isValidKeyChord(binding.keys));
        }
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{8, 8, 7}));
}

}  // namespace
}  // namespace quillory
