#include "design/appearance.h"

#include <gtest/gtest.h>

#include <QDBusVariant>
#include <QSignalSpy>

#include "design/colors.h"
#include "design/motion.h"
#include "design/portal_appearance_source.h"
#include "platform/defaults/user_defaults.h"

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

TEST_F(AppearanceTest, NothingKnownMeansLightNormalContrastAndMotion) {
    const Appearance& appearance = *Appearance::shared();
    EXPECT_FALSE(appearance.dark());
    EXPECT_FALSE(appearance.highContrast());
    EXPECT_FALSE(appearance.reduceMotion());
    EXPECT_FALSE(appearance.reduceTransparency());
    EXPECT_EQ(appearance.textScale(), 1.0);
}

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

TEST_F(AppearanceTest, ChangesReachColoursAndMotion) {
    Colors* colors = Colors::forPalette(DesignPalette::pine);
    Motion* motion = Motion::create(nullptr, nullptr);
    QSignalSpy colorsChanged(colors, &Colors::changed);
    QSignalSpy motionChanged(motion, &Motion::enabledChanged);

    EXPECT_EQ(colors->background(), QColor(0xE7EDE8));
    EXPECT_TRUE(motion->enabled());
    desktop->setSettings({.dark = true});
    EXPECT_EQ(colors->background(), QColor(0x18221C));
    EXPECT_EQ(colorsChanged.count(), 1);
    EXPECT_EQ(motionChanged.count(), 0);

    // Reduce Motion switches every spring off.
    desktop->setSettings({.dark = true, .reduceMotion = true});
    EXPECT_FALSE(motion->enabled());
    EXPECT_EQ(motionChanged.count(), 1);

    // The same values again announce nothing.
    desktop->setSettings({.dark = true, .reduceMotion = true, .reduceTransparency = false});
    EXPECT_EQ(colorsChanged.count(), 2);
}

TEST(PortalAppearanceSource, ReadsTheDesktopKeysThroughNestedVariants) {
    PortalAppearanceSource portal(QDBusConnection(QStringLiteral("none")));
    const auto nested = [](QVariant value) {
        return QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(value))));
    };
    const QString appearance = QStringLiteral("org.freedesktop.appearance");
    EXPECT_TRUE(portal.apply(appearance, QStringLiteral("color-scheme"), nested(1u)));
    EXPECT_EQ(portal.settings().dark, true);
    EXPECT_TRUE(portal.apply(appearance, QStringLiteral("color-scheme"), 2u));
    EXPECT_EQ(portal.settings().dark, false);
    EXPECT_TRUE(portal.apply(appearance, QStringLiteral("color-scheme"), nested(0u)));
    EXPECT_EQ(portal.settings().dark, std::nullopt);  // No preference: the default decides.

    EXPECT_TRUE(portal.apply(QStringLiteral("org.gnome.desktop.interface"),
                             QStringLiteral("enable-animations"), nested(false)));
    EXPECT_EQ(portal.settings().reduceMotion, true);

    // Either key may ask for high contrast; clearing one leaves the other's answer.
    const QString a11y = QStringLiteral("org.gnome.desktop.a11y.interface");
    EXPECT_TRUE(portal.apply(a11y, QStringLiteral("high-contrast"), nested(true)));
    EXPECT_TRUE(portal.apply(appearance, QStringLiteral("contrast"), nested(0u)));
    EXPECT_EQ(portal.settings().highContrast, true);
    EXPECT_TRUE(portal.apply(a11y, QStringLiteral("high-contrast"), false));
    EXPECT_EQ(portal.settings().highContrast, false);

    const QString interface = QStringLiteral("org.gnome.desktop.interface");
    EXPECT_TRUE(portal.apply(interface, QStringLiteral("text-scaling-factor"), nested(1.25)));
    EXPECT_EQ(portal.settings().textScale, 1.25);
    EXPECT_TRUE(portal.apply(interface, QStringLiteral("text-scaling-factor"), nested(0.0)));
    EXPECT_EQ(portal.settings().textScale, std::nullopt);

    EXPECT_FALSE(portal.apply(appearance, QStringLiteral("accent-color"), nested(1u)));
}

}  // namespace
}  // namespace quillory
