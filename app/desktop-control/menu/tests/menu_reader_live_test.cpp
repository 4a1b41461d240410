// The reader against real toolkit programs on the accessibility bus, and without that bus.
#include <gtest/gtest.h>

#include <chrono>

#include "app/desktop-control/menu/menu_command_reader.h"
#include "app/desktop-control/menu/testing/fake_menu_tree.h"
#include "app/desktop-control/menu/tests/test_application.h"
#include "platform/accessibility/accessibility_connection.h"
#include "platform/input/desktop_control_access.h"

namespace quillory {
namespace {

using K = DesktopKey;

const DesktopControlAccess granted({[] { return true; }, [] { return true; }, [] { return true; }});

// Both test programs show these, in this order.
// clang-format off
const std::vector<MenuCommand> expected{
    {"New", {"File"}, {K::control, K::n}}, {"Open…", {"File"}, {K::control, K::o}},
    {"Save", {"File"}, {K::control, K::s}}, {"Save As…", {"File"}, {K::control, K::shift, K::s}},
    {"PNG", {"File", "Export"}, {K::control, K::option, K::e}},
    {"Deepest read", {"File", "Export", "Deep", "Level 3"}, {K::f7}},
    {"Quit", {"File"}, {K::control, K::q}}, {"Undo", {"Edit"}, {K::control, K::z}},
    {"Redo", {"Edit"}, {K::control, K::shift, K::z}}, {"Delete", {"Edit"}, {K::forwardDelete}},
    {"Zoom In", {"Edit"}, {}}, {"Next Page", {"Edit"}, {K::pageDown}},
    {"Settings", {"Edit"}, {K::control, K::command, K::comma}},
    {"Snap", {"Edit"}, {K::control, K::leftBracket}}};
// clang-format on

std::vector<MenuCommand> read(pid_t processID) {
    return MenuCommandReader::collectMenuCommands(processID, granted);
}

// Read until the program's menu bar is listed (Qt registers on the bus asynchronously).
std::vector<MenuCommand> readWhenListed(const TestApplication& application) {
    EXPECT_TRUE(application.isReady());
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto commands = read(application.processID);
    while (commands.empty() && std::chrono::steady_clock::now() < giveUp) {
        commands = read(application.processID);
    }
    return commands;
}

TEST(MenuReaderLiveTest, ReadsGtkAndQtApplications) {
    ASSERT_TRUE(AccessibilityConnection::shared()->isAvailable()) << "run in with-test-services";
    EXPECT_EQ(readWhenListed(TestApplication(MENU_TEST_GTK)), expected);
#ifdef MENU_TEST_QT
    EXPECT_EQ(readWhenListed(TestApplication(MENU_TEST_QT)), expected);
#endif
    EXPECT_TRUE(read(0x7ffffff0).empty());
}

// The program is stopped after 40 title reads, midway: the read ends at the 5 s deadline (plus
// one call begun just before it) with what was read, in menu order.
TEST(MenuReaderLiveTest, AFrozenApplicationEndsTheReadAtTheDeadline) {
    const TestApplication application(MENU_TEST_GTK, {"--items", "300"});
    const auto complete = readWhenListed(application);
    ASSERT_EQ(complete.size(), expected.size() + 300);
    std::vector<MenuCommand> partial;
    const auto started = std::chrono::steady_clock::now();
    AccessibilityConnection::shared()->readMenus(application.processID, [&](auto& tree) {
        struct Freezing : AccessibleMenuTree {
            AccessibleMenuTree& tree;
            pid_t processID;
            int reads = 0;
            Freezing(AccessibleMenuTree& t, pid_t p) : tree(t), processID(p) {}
            std::optional<Element> menuBar() override { return tree.menuBar(); }
            std::vector<Element> children(Element e) override { return tree.children(e); }
            std::optional<std::string> keyBinding(Element e) override { return tree.keyBinding(e); }
            std::optional<std::string> title(Element e) override {
                if (++reads == 40) {
                    kill(processID, SIGSTOP);
                }
                return tree.title(e);
            }
        } freezing(tree, application.processID);
        partial = MenuCommandReader::collectMenuCommands(freezing);
    });
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(5750));
    kill(application.processID, SIGCONT);
    ASSERT_GE(partial.size(), 20u);
    EXPECT_TRUE(std::equal(partial.begin(), partial.begin() + 20, complete.begin()));
    auto next = complete.begin();  // what the library still knew may lack its shortcut
    for (const auto& command : partial) {
        next = std::find_if(next, complete.end(), [&](const MenuCommand& known) {
            return known.title == command.title && known.path == command.path;
        });
        ASSERT_NE(next++, complete.end()) << command.title;
    }
    // Frozen from the start, the read ends after one call's timeout with nothing.
    ASSERT_EQ(kill(application.processID, SIGSTOP), 0);
    EXPECT_TRUE(read(application.processID).empty());
}

// Run by its own CTest entry with no session bus and no display.
TEST(MenuReaderNoBusTest, GivesAnEmptyListAndMakesNoCall) {
    EXPECT_FALSE(AccessibilityConnection::shared()->isAvailable());
    EXPECT_TRUE(read(getpid()).empty());
    bool called = false;
    EXPECT_FALSE(AccessibilityConnection::shared()->readMenus(
        getpid(), [&](AccessibleMenuTree&) { called = true; }));
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace quillory
