#include <gtest/gtest.h>

#include "app/desktop-control/desktop_control_preferences.h"
#include "app/desktop-control/desktop_input_target.h"
#include "platform/defaults/testing/memory_user_defaults.h"
#include "platform/desktop/testing/fake_desktop.h"

namespace quillory {
namespace {

// Occluders: the windows of the frontmost application's layer in front of the target; none to
// trust once the owner is not frontmost or the window moved or went.
TEST(DesktopInputTarget, WindowTargetsListWhatCoversThem) {
    FakeDesktop desktop;
    const Rect frame{100, 100, 800, 600};
    const DesktopInputTarget target{.bounds = frame, .windowID = 9, .processID = 40};
    desktop.setWindows(
        std::vector<WindowInfo>{{.id = 3, .frame = {0, 0, 1920, 30}, .layer = 1},
                                {.id = 7, .frame = {50, 50, 200, 200}, .processID = 41},
                                {.id = 9, .frame = frame, .processID = 40},
                                {.id = 2, .frame = {0, 0, 1920, 1080}}});
    EXPECT_EQ(target.occluders(40, desktop), (std::vector<Rect>{{50, 50, 200, 200}}));
    EXPECT_FALSE(target.occluders(41, desktop));
    EXPECT_FALSE(target.occluders(std::nullopt, desktop));
    desktop.setWindows(std::vector<WindowInfo>{{.id = 9, .frame = {101, 100, 800, 600}}});
    EXPECT_FALSE(target.occluders(40, desktop));
    desktop.setWindows(std::vector<WindowInfo>{});
    EXPECT_FALSE(target.occluders(40, desktop));
}

TEST(DesktopControlPreferences, OneSwitchPerDevice) {
    const DesktopControlPreferences preferences{std::make_shared<MemoryUserDefaults>()};
    const std::string device(64, 'a');
    EXPECT_FALSE(preferences.storedValue(device));
    preferences.setEnabled(false, device);
    EXPECT_EQ(preferences.storedValue(device), false);
    preferences.setEnabled(true, device);
    EXPECT_EQ(preferences.defaults->boolValue("desktopControl.device." + device), true);
    preferences.defaults->set(preferences.prefix + "other", "yes");
    EXPECT_FALSE(preferences.storedValue("other"));
    preferences.remove(device);
    EXPECT_FALSE(preferences.isEnabled(device));
}

}  // namespace
}  // namespace quillory
