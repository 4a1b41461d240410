#include "design/panel_rect.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

TEST(PanelRect, KeepsTheMarginAndOpensAwayFromTheAnchor) {
    const QRect screen(0, 0, 1280, 800);
    const QRect underBar(0, 28, 1280, 772);  // a top panel takes 28 px
    struct Case {
        const char* what;
        QRect anchor;
        QRect available;
        QSize size;
        QRect expected;
    };
    const Case cases[] = {
        {"centred under the icon", {600, 2, 24, 24}, underBar, {340, 300}, {442, 34, 340, 300}},
        {"far right stays 6 px inside",
         {1256, 2, 24, 24},
         underBar,
         {340, 300},
         {934, 34, 340, 300}},
        {"far left stays 6 px inside", {0, 2, 24, 24}, underBar, {340, 300}, {6, 34, 340, 300}},
        {"tall content grows upwards, bottom kept",
         {600, 2, 24, 24},
         underBar,
         {340, 900},
         {442, -106, 340, 900}},
        {"anchor in the lower half opens above",
         {600, 776, 24, 24},
         screen,
         {340, 300},
         {442, 470, 340, 300}},
        {"lower anchor with tall content keeps the top",
         {600, 776, 24, 24},
         screen,
         {340, 900},
         {442, 6, 340, 900}},
        {"pointer anchor in the middle opens below",
         {640, 300, 1, 1},
         screen,
         {340, 200},
         {470, 307, 340, 200}},
        {"wider than the screen: the right edge wins",
         {600, 2, 24, 24},
         {0, 0, 300, 800},
         {340, 100},
         {-46, 32, 340, 100}},
        {"offset screen",
         {2000, 2, 24, 24},
         {1280, 0, 1920, 1080},
         {340, 300},
         {1842, 32, 340, 300}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(panelRect(c.anchor, c.available, c.size), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace quillory
