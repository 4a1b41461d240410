#include "platform/desktop/window_icon.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

// _NET_WM_ICON cardinals for square images of the given sides, each pixel holding its side.
std::vector<std::uint32_t> icons(const std::vector<std::uint32_t>& sides) {
    std::vector<std::uint32_t> cardinals;
    for (std::uint32_t side : sides) {
        cardinals.push_back(side);
        cardinals.push_back(side);
        cardinals.insert(cardinals.end(), std::size_t{side} * side, side);
    }
    return cardinals;
}

TEST(WindowIcon, PicksTheSmallestAtLeastTheSideElseTheLargest) {
    struct Row {
        std::vector<std::uint32_t> cardinals;
        int chosen;  // 0: none
    };
    auto cut = icons({16, 128});
    cut.resize(cut.size() - 1);
    const Row rows[] = {
        {icons({16, 32, 128, 64, 256}), 64},
        {icons({16, 48, 32}), 48},
        {icons({128}), 128},
        {cut, 16},  // the cut entry is not whole
        {{0, 0}, 0},
        {{5000, 1}, 0},
        {{}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.chosen);
        const auto icon = chooseWindowIcon(row.cardinals, 64);
        ASSERT_EQ(icon.has_value(), row.chosen != 0);
        if (icon) {
            EXPECT_EQ(icon->width, row.chosen);
            EXPECT_EQ(icon->argb.size(), std::size_t(row.chosen * row.chosen));
            EXPECT_EQ(icon->argb.front(), std::uint32_t(row.chosen));
        }
    }
}

}  // namespace
}  // namespace quillory
