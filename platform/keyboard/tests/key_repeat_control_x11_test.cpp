// Per-key repeat on a real X server (Xvfb): what a crash leaves is undone at the next start.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/keyboard/key_repeat_control.h"

namespace quillory {
namespace {

TEST(KeyRepeatControlOnX11, ARunThatCrashedIsUndoneAtTheNextStart) {
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
    }
    const auto record = std::filesystem::temp_directory_path() /
                        ("quillory-repeat-" + std::to_string(getpid())) / "record";
    auto connected = KeyRepeatControl::connect(nullptr, record.string() + ".probe");
    ASSERT_TRUE(connected) << connected.error();
    auto probe = std::move(connected).value();
    ASSERT_TRUE(probe->repeats(KEY_B));
    ASSERT_TRUE(probe->repeats(KEY_C));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto connectedChild = KeyRepeatControl::connect(nullptr, record);
        if (!connectedChild) {
            std::_Exit(2);
        }
        auto control = std::move(connectedChild).value();
        control->hold(KEY_B);
        control->hold(KEY_C);
        control->release(KEY_C);
        std::_Exit(control->repeats(KEY_B) ? 3 : 0);  // a crash: no destructor runs
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(probe->repeats(KEY_B));
    EXPECT_TRUE(probe->repeats(KEY_C));
    ASSERT_TRUE(std::filesystem::exists(record));
    {
        auto reconnected = KeyRepeatControl::connect(nullptr, record);
        ASSERT_TRUE(reconnected) << reconnected.error();
        auto next = std::move(reconnected).value();
        EXPECT_TRUE(probe->repeats(KEY_B));
        EXPECT_FALSE(std::filesystem::exists(record));
        next->hold(KEY_B);
        EXPECT_FALSE(probe->repeats(KEY_B));
        EXPECT_TRUE(std::filesystem::exists(record));
    }
    EXPECT_TRUE(probe->repeats(KEY_B));  // restored at exit
    EXPECT_FALSE(std::filesystem::exists(record));
    std::filesystem::remove_all(record.parent_path());
}

}  // namespace
}  // namespace quillory
