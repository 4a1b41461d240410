// Run with no session bus and no display: the accessibility bus cannot be reached.
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/desktop-control/menu/menu_command_reader.h"
#include "platform/accessibility/accessibility_connection.h"
#include "platform/input/desktop_control_access.h"

namespace quillory {
namespace {

TEST(MenuReaderNoBusTest, GivesAnEmptyListAndMakesNoCall) {
    const DesktopControlAccess granted({.uinputWritable = [] { return true; },
                                        .uinputAvailable = [] { return true; },
                                        .xtestPresent = [] { return true; }});
    EXPECT_FALSE(AccessibilityConnection::shared()->isAvailable());
    EXPECT_TRUE(MenuCommandReader::collectMenuCommands(getpid(), granted).empty());
    bool called = false;
    EXPECT_FALSE(AccessibilityConnection::shared()->readMenus(
        getpid(), [&](AccessibleMenuTree&) { called = true; }));
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace quillory
