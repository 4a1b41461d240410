#include "app/studio/studio_capture_source.h"

#include <gtest/gtest.h>

#include "platform/desktop/testing/fake_desktop.h"
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

// Without desktop control access (no test here has any), as on a stock desktop.
TEST(StudioCaptureSourceTest, AWindowWithAnApplicationIsActivatedWithoutDesktopControlAccess) {
    const ShareableWindow shared{.info = {.id = 9, .frame = {10, 10, 300, 200}},
                                 .onScreen = true,
                                 .application = WindowApplication{.name = "Editor"}};
    for (const bool hasApplication : {true, false}) {
        FakeDesktop desktop;
        desktop.setWindows(std::vector<WindowInfo>{shared.info});
        auto window = shared;
        if (!hasApplication) {
            window.application.reset();
        }
        StudioCaptureSource::window(window).raise(desktop);
        EXPECT_EQ(desktop.raiseCount(), hasApplication ? 1 : 0);
    }
    FakeDesktop desktop;
    StudioCaptureSource::display(desktop.displays()[0]).raise(desktop);
    EXPECT_EQ(desktop.raiseCount(), 0);
}

}  // namespace
}  // namespace quillory
