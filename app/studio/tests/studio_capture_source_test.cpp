#include "app/studio/studio_capture_source.h"

#include <gtest/gtest.h>

#include "platform/desktop/testing/fake_desktop.h"
#include "platform/input/desktop_control_access.h"
#include "protocol/studio_source.h"

namespace quillory {
namespace {

StudioCaptureSource titled(std::string title, std::optional<std::string> application) {
    ShareableWindow window{.info = {.id = 5, .frame = {0, 0, 640, 480}}, .title = std::move(title)};
    if (application) {
        window.application = WindowApplication{.name = *application};
    }
    return StudioCaptureSource::window(window);
}

DesktopControlAccess access(bool granted) {
    return DesktopControlAccess({.uinputWritable = [granted] { return granted; },
                                 .uinputAvailable = [] { return true; },
                                 .xtestPresent = [] { return true; }});
}

TEST(StudioCaptureSourceTest, WindowTitlesAreCleanedCutAndNeverEmpty) {
    FakeDesktop desktop;
    const std::string seventy = std::string(59, 'a') + " " + std::string(10, 'b');
    std::string flags;
    for (int i = 0; i < 60; ++i) {
        flags += "\U0001F1EB\U0001F1F7";
    }
    const struct {
        std::string title;
        std::optional<std::string> application;
        std::string expected;
    } cases[] = {
        {"two\nwords", std::nullopt, "two words"},
        {"a\t\rb", std::nullopt, "a  b"},  // one space per control character
        {"", "Editor", "Editor"},
        {"", std::nullopt, "Window"},
        {"", "", "Window"},
        {" \n\t \u3000", "Editor", "Window"},           // a title of only blanks is still a title
        {seventy, std::nullopt, std::string(59, 'a')},  // cut at 60, the space trimmed
        {"  padded  ", std::nullopt, "padded"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(titled(c.title, c.application).title(desktop), c.expected) << c.title;
    }
    // Sixty flags are 480 bytes: the name is cut on a flag boundary to fit the wire.
    const auto name = titled(flags, std::nullopt).title(desktop);
    EXPECT_EQ(name, flags.substr(0, 256));
    StudioSource source{.name = name, .application = "Editor"};
    EXPECT_TRUE(source.isValid());
}

TEST(StudioCaptureSourceTest, DisplaysAreNamedByMainOrId) {
    FakeDesktop desktop;
    desktop.setDisplays({{.id = 2, .bounds = {1920, 0, 1280, 1024}},
                         {.id = 571, .bounds = {0, 0, 1920, 1080}, .primary = true}});
    const auto main = *desktop.display(571);
    const auto other = *desktop.display(2);
    EXPECT_EQ(StudioCaptureSource::display(main).title(desktop), "Main display");
    EXPECT_EQ(StudioCaptureSource::display(other).title(desktop), "Display 2");
    EXPECT_EQ(StudioCaptureSource::display(main).previewKey(), "display:571");
    EXPECT_EQ(titled("x", std::nullopt).previewKey(), "window:5");
}

TEST(StudioCaptureSourceTest, ResolvesOnlyWhatIsStillThereAndOnScreen) {
    const DisplayInfo display{.id = 3, .bounds = {0, 0, 800, 600}};
    ShareableWindow window{.info = {.id = 9, .frame = {1, 2, 300, 200}}, .onScreen = true};
    ShareableContent content{{display}, {window}};
    EXPECT_TRUE(StudioCaptureSource::display(display).resolve(content));
    EXPECT_TRUE(StudioCaptureSource::window(window).resolve(content));
    content.windows[0].onScreen = false;
    EXPECT_FALSE(StudioCaptureSource::window(window).resolve(content));
    content = {};
    EXPECT_FALSE(StudioCaptureSource::display(display).resolve(content));
    EXPECT_FALSE(StudioCaptureSource::window(window).resolve(content));
}

TEST(StudioCaptureSourceTest, RaisesOnlyAnUnchangedWindowWithAccess) {
    const WindowInfo info{.id = 9, .frame = {10, 10, 300, 200}};
    const ShareableWindow shared{
        .info = info, .onScreen = true, .application = WindowApplication{.name = "Editor"}};
    const struct {
        Rect frameNow;
        bool granted;
        bool hasApplication;
        int raises;
    } cases[] = {
        {info.frame, true, true, 1},
        {{10, 10, 301, 200}, true, true, 0},  // resized since the snapshot
        {info.frame, false, true, 0},
        {info.frame, true, false, 0},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        desktop.setWindows(std::vector<WindowInfo>{{.id = 9, .frame = c.frameNow}});
        auto window = shared;
        if (!c.hasApplication) {
            window.application.reset();
        }
        StudioCaptureSource::window(window).raise(desktop, access(c.granted));
        EXPECT_EQ(desktop.raiseCount(), c.raises);
    }
    FakeDesktop desktop;
    StudioCaptureSource::display(desktop.displays()[0]).raise(desktop, access(true));
    EXPECT_EQ(desktop.raiseCount(), 0);
}

}  // namespace
}  // namespace quillory
