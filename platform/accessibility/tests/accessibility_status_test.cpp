#include "platform/accessibility/accessibility_status.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quillory {
namespace {

TEST(AccessibilityStatusTest, SwitchesAndReadsBack) {
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
        GTEST_SKIP() << "No session bus: run inside scripts/with-test-services";
    }
    const auto before = AccessibilityStatus::isEnabled();
    if (!before) {
        GTEST_SKIP() << "The session bus has no accessibility service";
    }
    EXPECT_TRUE(AccessibilityStatus::setEnabled(!*before));
    EXPECT_EQ(AccessibilityStatus::isEnabled(), !*before);
    EXPECT_TRUE(AccessibilityStatus::setEnabled(*before));
    EXPECT_EQ(AccessibilityStatus::isEnabled(), *before);
}

TEST(AccessibilityStatusTest, NoSessionBusReadsAsUnknown) {
    if (std::getenv("QUILLORY_EXPECT_NO_SESSION_BUS") == nullptr) {
        GTEST_SKIP() << "Runs as accessibility_status_no_bus_tests, in a process without a bus";
    }
    EXPECT_FALSE(AccessibilityStatus::isEnabled());
    EXPECT_FALSE(AccessibilityStatus::setEnabled(true));
}

}  // namespace
}  // namespace quillory
