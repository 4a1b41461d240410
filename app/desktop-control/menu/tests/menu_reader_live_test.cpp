// The reader against real toolkit programs on the accessibility bus.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>

#include "app/desktop-control/menu/menu_command_reader.h"
#include "app/desktop-control/menu/tests/menu_command_printer.h"
#include "app/desktop-control/menu/tests/test_application.h"
#include "platform/accessibility/accessibility_connection.h"
#include "platform/input/desktop_control_access.h"

namespace quillory {
namespace {

using K = DesktopKey;

const DesktopControlAccess granted({.uinputWritable = [] { return true; },
                                    .uinputAvailable = [] { return true; },
                                    .xtestPresent = [] { return true; }});

// The commands both test programs show, in menu order.
const std::vector<MenuCommand> expectedCommands{
    {"New", {"File"}, {K::control, K::n}},
    {"Open…", {"File"}, {K::control, K::o}},
    {"Save", {"File"}, {K::control, K::s}},
    {"Save As…", {"File"}, {K::control, K::shift, K::s}},
    {"PNG", {"File", "Export"}, {K::control, K::option, K::e}},
    {"Deepest read", {"File", "Export", "Deep", "Level 3"}, {K::f7}},
    {"Quit", {"File"}, {K::control, K::q}},
    {"Undo", {"Edit"}, {K::control, K::z}},
    {"Redo", {"Edit"}, {K::control, K::shift, K::z}},
    {"Delete", {"Edit"}, {K::forwardDelete}},
    {"Zoom In", {"Edit"}, {}},
    {"Next Page", {"Edit"}, {K::pageDown}},
    {"Settings", {"Edit"}, {K::control, K::command, K::comma}},
    {"Snap", {"Edit"}, {K::control, K::leftBracket}},
};

class MenuReaderLiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "No DISPLAY: run inside scripts/with-test-services";
        }
        if (!AccessibilityConnection::shared()->isAvailable()) {
            GTEST_SKIP() << "No accessibility bus on the session bus";
        }
    }

    static std::vector<MenuCommand> read(pid_t processID) {
        return MenuCommandReader::collectMenuCommands(processID, granted);
    }

    // An application is listed on the bus around the time it shows its window (Qt registers
    // asynchronously); read until its menu bar appears, each attempt a full read.
    static std::vector<MenuCommand> readWhenListed(pid_t processID) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::vector<MenuCommand> commands = read(processID);
        while (commands.empty() && std::chrono::steady_clock::now() < giveUp) {
            commands = read(processID);
        }
        return commands;
    }
};

TEST_F(MenuReaderLiveTest, ReadsAGtkApplication) {
    TestApplication application(MENU_TEST_GTK);
    ASSERT_TRUE(application.isReady());
    EXPECT_EQ(readWhenListed(application.processID()), expectedCommands);
}

#ifdef MENU_TEST_QT
TEST_F(MenuReaderLiveTest, ReadsAQtApplication) {
    TestApplication application(MENU_TEST_QT);
    ASSERT_TRUE(application.isReady());
    EXPECT_EQ(readWhenListed(application.processID()), expectedCommands);
}
#endif

// Stops the application once a number of items have been read, in the middle of a walk.
class FreezingTree final : public AccessibleMenuTree {
  public:
    FreezingTree(AccessibleMenuTree& tree, pid_t processID, int itemsBeforeFreezing)
        : tree_(tree), processID_(processID), remaining_(itemsBeforeFreezing) {}

    std::optional<Element> menuBar() override { return tree_.menuBar(); }
    std::vector<Element> children(Element element) override { return tree_.children(element); }
    std::optional<std::string> title(Element element) override {
        if (remaining_-- == 0) {
            kill(processID_, SIGSTOP);
        }
        return tree_.title(element);
    }
    std::optional<std::string> keyBinding(Element element) override {
        return tree_.keyBinding(element);
    }

  private:
    AccessibleMenuTree& tree_;
    pid_t processID_;
    int remaining_;
};

TEST_F(MenuReaderLiveTest, AFrozenApplicationEndsTheReadAtTheDeadlineWithWhatWasRead) {
    TestApplication application(MENU_TEST_GTK, {"--items", "300"});
    ASSERT_TRUE(application.isReady());
    const auto complete = readWhenListed(application.processID());
    ASSERT_EQ(complete.size(), expectedCommands.size() + 300);

    std::vector<MenuCommand> partial;
    const auto started = std::chrono::steady_clock::now();
    AccessibilityConnection::shared()->readMenus(application.processID(), [&](auto& tree) {
        FreezingTree freezing(tree, application.processID(), 40);
        partial = MenuCommandReader::collectMenuCommands(freezing);
    });
    const auto elapsed = std::chrono::steady_clock::now() - started;
    kill(application.processID(), SIGCONT);
    // The deadline, plus what one call may still take when it begins just before it.
    EXPECT_LT(elapsed, std::chrono::milliseconds(5000 + 500 + 250));
    // What was read before the freeze is kept; what the library still knew afterwards comes in
    // menu order, maybe without its shortcut.
    ASSERT_GE(partial.size(), 20u);
    EXPECT_TRUE(std::equal(partial.begin(), partial.begin() + 20, complete.begin()));
    auto next = complete.begin();
    for (const auto& command : partial) {
        next = std::find_if(next, complete.end(), [&](const MenuCommand& known) {
            return known.title == command.title && known.path == command.path;
        });
        ASSERT_NE(next, complete.end()) << command.title;
        ++next;
    }

    // Frozen from the start, the read ends after one call's timeout with nothing.
    ASSERT_EQ(kill(application.processID(), SIGSTOP), 0);
    EXPECT_TRUE(read(application.processID()).empty());
    kill(application.processID(), SIGCONT);
}

TEST_F(MenuReaderLiveTest, AnUnknownProcessHasNoCommands) {
    EXPECT_TRUE(read(0x7ffffff0).empty());
}

}  // namespace
}  // namespace quillory
