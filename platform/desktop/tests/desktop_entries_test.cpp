#include "platform/desktop/desktop_entries.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/desktop/desktop.h"
#include "platform/desktop/testing/fake_desktop.h"

namespace quillory {
namespace {

TEST(DesktopEntries, MatchWindowClassesToInstalledApplications) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("quillory-entries-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "user");
    std::filesystem::create_directories(folder / "system");
    const auto write = [](const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path) << text;
    };
    write(folder / "system/org.example.Editor.desktop",
          "[Desktop Entry]\nName=Editor\nIcon=accessories-text-editor\n[Desktop Action new]\n"
          "Name=New Window\nIcon=window-new\n");
    write(folder / "system/paint.desktop",
          "[Desktop Entry]\nName=Paint (system)\nStartupWMClass=PaintApp\n");
    write(folder / "user/paint.desktop", "[Desktop Entry]\nName=Paint\nStartupWMClass=PaintApp\n");
    write(folder / "user/notes.txt", "[Desktop Entry]\nName=Not an entry\n");

    const DesktopEntries entries({folder / "user", folder / "system", folder / "missing"});
    ASSERT_TRUE(entries.find("paintapp"));
    EXPECT_EQ(entries.find("paintapp")->name, "Paint");  // the user's own entry wins
    EXPECT_EQ(entries.find("PAINT")->id, "paint");
    ASSERT_TRUE(entries.find("editor"));
    EXPECT_EQ(entries.find("editor")->id, "org.example.Editor");
    EXPECT_EQ(entries.find("editor")->name, "Editor");
    EXPECT_EQ(entries.find("editor")->icon, "accessories-text-editor");  // not the action's
    EXPECT_EQ(entries.find("paint")->icon, "");
    EXPECT_FALSE(entries.find("notes"));
    EXPECT_FALSE(entries.find(""));
    std::filesystem::remove_all(folder);
}

TEST(FakeDesktop, RaisingBringsAWindowToTheFront) {
    FakeDesktop desktop;
    desktop.setWindows(std::vector<WindowInfo>{{.id = 1}, {.id = 2}, {.id = 3}});
    EXPECT_TRUE(desktop.raise(3));
    EXPECT_EQ(desktop.windows()->front().id, 3u);
    EXPECT_FALSE(desktop.raise(9));
    EXPECT_EQ(desktop.mainDisplay()->bounds, (Rect{0, 0, 1920, 1080}));
    EXPECT_FALSE(desktop.display(2));
}

}  // namespace
}  // namespace quillory
