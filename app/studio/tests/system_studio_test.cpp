#include "app/studio/system_studio.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

TEST(SystemStudioTest, IconPixelsKeepTheirRowsAndBecomePlainARGB) {
    EXPECT_FALSE(SystemStudio::applicationImage(QImage()));

    // Premultiplied half-transparent red must come back unpremultiplied; rows must not shift.
    QImage image(3, 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setPixelColor(2, 1, QColor(255, 0, 0, 128));
    image.setPixelColor(0, 0, QColor(0, 0, 255, 255));
    const auto plain = SystemStudio::applicationImage(image);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->width, 3);
    EXPECT_EQ(plain->height, 2);
    ASSERT_EQ(plain->argb.size(), 6u);
    EXPECT_EQ(plain->argb[0], 0xFF0000FFu);
    EXPECT_EQ(plain->argb[5] >> 24, 0x80u);
    EXPECT_GE((plain->argb[5] >> 16) & 0xFF, 0xFEu);
    EXPECT_EQ(plain->argb[1], 0u);
}

TEST(SystemStudioTest, AWindowLooksUpItsApplicationsIcon) {
    ShareableWindow window;
    window.info.id = 0x2600007;
    EXPECT_EQ(SystemStudio::applicationInfo(window).windowID, 0x2600007u);
    EXPECT_TRUE(SystemStudio::applicationInfo(window).identifier.empty());

    window.application = WindowApplication{
        .processID = 4242, .identifier = "org.gnome.gedit", .name = "Text Editor"};
    const ApplicationInfo info = SystemStudio::applicationInfo(window);
    EXPECT_EQ(info.processID, 4242);
    EXPECT_EQ(info.identifier, "org.gnome.gedit");
    EXPECT_EQ(info.name, "Text Editor");
    window.application->processID.reset();
    EXPECT_EQ(SystemStudio::applicationInfo(window).processID, 0);
}

}  // namespace
}  // namespace quillory
