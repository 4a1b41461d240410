#include "design/appearance.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/defaults/testing/memory_user_defaults.h"

namespace quillory {
namespace {

class AppearanceTest : public testing::Test {
  protected:
    void SetUp() override {
        defaults = std::make_shared<MemoryUserDefaults>();
        auto owned = std::make_unique<FakeAppearanceSource>();
        desktop = owned.get();
        Appearance::shared()->setSources(defaults, std::move(owned));
    }
    void TearDown() override { Appearance::shared()->setSources(nullptr, nullptr); }

    std::shared_ptr<MemoryUserDefaults> defaults;
    FakeAppearanceSource* desktop = nullptr;
};

TEST_F(AppearanceTest, OverrideWinsOverTheDesktopValueByValue) {
    Appearance& appearance = *Appearance::shared();
    QSignalSpy changed(&appearance, &Appearance::changed);
    desktop->setSettings({.dark = true, .highContrast = true, .reduceMotion = true});
    EXPECT_TRUE(appearance.dark());
    EXPECT_EQ(changed.count(), 1);

    appearance.setOverride({.dark = false});
    EXPECT_FALSE(appearance.dark());
    EXPECT_TRUE(appearance.highContrast());  // Not overridden: still the desktop's.
    EXPECT_EQ(defaults->boolValue(Appearance::darkKey), false);
    EXPECT_EQ(defaults->value(Appearance::highContrastKey), std::nullopt);

    // The override is read back from the defaults by a fresh start.
    Appearance::shared()->setSources(defaults, std::make_unique<FakeAppearanceSource>());
    EXPECT_FALSE(appearance.dark());
    EXPECT_FALSE(appearance.highContrast());
}

TEST_F(AppearanceTest, DamagedOverridesAreIgnored) {
    defaults->set(Appearance::darkKey, "yes");
    defaults->set(Appearance::textScaleKey, 100.0);
    auto owned = std::make_unique<FakeAppearanceSource>();
    owned->setSettings({.dark = true, .textScale = 1.25});
    Appearance::shared()->setSources(defaults, std::move(owned));
    EXPECT_TRUE(Appearance::shared()->dark());
    EXPECT_EQ(Appearance::shared()->textScale(), 1.25);
}

}  // namespace
}  // namespace quillory
