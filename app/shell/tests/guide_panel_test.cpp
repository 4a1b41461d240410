#include "app/shell/guide_panel.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

TEST(GuidePanelOrigin, CentredUnderThePointerAndKeptInside) {
    const QList<ScreenArea> screens{
        {QRect(0, 0, 1920, 1080), QRect(0, 32, 1920, 1048)},
        {QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024)},
    };
    const QSize card(340, 100);
    struct Case {
        QPoint pointer;
        QPoint origin;
    };
    for (const Case& c : {
             Case{{960, 500}, {790, 512}},     // centred, 12 px below
             Case{{10, 500}, {8, 512}},        // left edge
             Case{{1915, 500}, {1572, 512}},   // right edge of the first screen
             Case{{960, 1070}, {790, 972}},    // bottom: kept 8 px above it
             Case{{960, 0}, {790, 40}},        // top: below the panel bar
             Case{{1930, 300}, {1928, 312}},   // second screen, its left edge
             Case{{3195, 1020}, {2852, 916}},  // second screen, bottom right
             Case{{-500, -500}, {8, 40}},      // off every screen: the first
         }) {
        EXPECT_EQ(guidePanelOrigin(c.pointer, card, screens), c.origin) << c.pointer.x();
    }
    EXPECT_EQ(guidePanelOrigin({100, 100}, card, {}), QPoint(-70, 112));
}

TEST(GuidePanelOrigin, BelowTheGrantPromptOrInsideItsFoot) {
    const QList<ScreenArea> screens{{QRect(0, 0, 1920, 1080), QRect(0, 32, 1920, 1048)}};
    const QSize card(340, 100);
    struct Case {
        QRect prompt;
        std::optional<QPoint> origin;
    };
    for (const Case& c : {
             Case{{660, 300, 600, 400}, QPoint(790, 712)},    // centred, 12 px below
             Case{{660, 600, 600, 400}, QPoint(790, 884)},    // no room below: 16 px inside
             Case{{1700, 300, 400, 200}, QPoint(1572, 512)},  // kept 8 px from the edge
             Case{{660, 300, 200, 400}, std::nullopt},        // too narrow to follow
         }) {
        EXPECT_EQ(guidePanelOriginBelow(c.prompt, card, screens), c.origin) << c.prompt.x();
    }
}

}  // namespace
}  // namespace quillory
