#include "app/session/desktop_application_icons.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QIcon>
#include <QPainter>
#include <cstdlib>
#include <fstream>

#include "app/session/tests/icon_window.h"
#include "platform/desktop/x11_connection.h"
#include "protocol/image_rules.h"

namespace quillory {
namespace {

// A temporary XDG data folder with one application entry per icon source.
class ApplicationIconsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(folder / "applications");
        std::filesystem::create_directories(folder / "icons/hicolor/48x48/apps");
        std::ofstream(folder / "icons/hicolor/index.theme")
            << "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\n"
               "Type=Fixed\n";
        picture(48, 48).save(QString::fromStdString(folder / "icons/hicolor/48x48/apps/pen.png"));
        picture(200, 100).save(QString::fromStdString(folder / "wide.png"));
        std::ofstream(folder / "applications/org.example.Themed.desktop")
            << "[Desktop Entry]\nName=Themed\nIcon=pen\n";
        std::ofstream(folder / "applications/org.example.File.desktop")
            << "[Desktop Entry]\nName=File\nIcon=" << (folder / "wide.png").string() << "\n";
        QIcon::setThemeSearchPaths({QString::fromStdString(folder / "icons")});
        QIcon::setThemeName(QStringLiteral("hicolor"));
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    static QImage picture(int width, int height) {
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setBrush(Qt::red);
        painter.drawEllipse(0, 0, width - 1, height - 1);
        return image;
    }
    static void expectIcon(const std::optional<Bytes>& png) {
        ASSERT_TRUE(png);
        EXPECT_TRUE(isValidIconPNG(*png));
        const QImage decoded = QImage::fromData(png->data(), static_cast<int>(png->size()));
        EXPECT_EQ(decoded.size(), QSize(64, 64));
    }

    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("quillory-icons-" + std::to_string(getpid()));
    DesktopEntries entries{{folder / "applications"}};
};

TEST_F(ApplicationIconsTest, EntryIconsFromTheThemeAndFromAFile) {
    DesktopApplicationIcons icons(nullptr, entries);
    for (const char* id : {"org.example.Themed", "org.example.File"}) {
        SCOPED_TRACE(id);
        const ApplicationInfo application{.processID = 2, .identifier = id, .name = id};
        EXPECT_FALSE(icons.image(application).isNull());
        auto render = icons.renderer(application);
        ASSERT_TRUE(render);
        const std::optional<Bytes> png = render();
        ASSERT_TRUE(png);
        expectIcon(png);
        // The wide picture fills the square: its ellipse reaches the top edge's middle.
        const QImage decoded = QImage::fromData(png->data(), static_cast<int>(png->size()));
        EXPECT_GT(qAlpha(decoded.pixel(32, 3)), 200);
    }
    EXPECT_FALSE(icons.renderer({.processID = 2, .identifier = "org.example.None"}));
}

TEST_F(ApplicationIconsTest, AWindowsOwnIconComesFirst) {
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
    }
    const auto opened = X11Connection::open(nullptr);
    ASSERT_TRUE(opened) << opened.error();
    const X11Connection& x11 = opened.value();
    std::vector<std::uint32_t> cardinals{32, 32};
    cardinals.resize(2 + 32 * 32, 0xff0000ffu);  // opaque blue
    const xcb_window_t window = testing::createIconWindow(x11, cardinals);
    ASSERT_NE(window, 0u);

    auto windowIcons = X11WindowIcons::connect(nullptr);
    ASSERT_TRUE(windowIcons) << windowIcons.error();
    DesktopApplicationIcons icons(std::move(windowIcons).value(), entries);
    const ApplicationInfo application{
        .processID = 2, .identifier = "org.example.Themed", .name = "Themed", .windowID = window};
    const QImage image = icons.image(application);
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::blue));
    expectIcon(icons.renderer(application)());
    xcb_destroy_window(x11.connection, window);
    xcb_disconnect(x11.connection);
}

}  // namespace
}  // namespace quillory
