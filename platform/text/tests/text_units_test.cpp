#include "platform/text/text_units.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillory {
namespace {

TEST(TextUnitsTest, LeadingCharactersNeverSplitsAPerceivedCharacter) {
    EXPECT_EQ(leadingCharacters("abcdef", 3), "abc");
    EXPECT_EQ(leadingCharacters("ab", 5), "ab");
    EXPECT_EQ(leadingCharacters("abc", 0), "");
    // "e" + combining acute, a flag of two regional indicators, a family joined by ZWJ.
    const std::string combined = "e\u0301";
    const std::string flag = "\U0001F1EB\U0001F1F7";
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    const std::string text = combined + flag + family + "x";
    EXPECT_EQ(leadingCharacters(text, 1), combined);
    EXPECT_EQ(leadingCharacters(text, 2), combined + flag);
    EXPECT_EQ(leadingCharacters(text, 3), combined + flag + family);
    EXPECT_EQ(leadingCharacters(text, 4), text);
}

TEST(TextUnitsTest, LeadingCharactersWithinABudgetKeepFlagsAndSequencesWhole) {
    const std::string flag = "\U0001F1EB\U0001F1F7";                          // 8 bytes
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // 18 bytes
    const struct {
        std::string text;
        std::size_t maxBytes;
        std::string expected;
    } cases[] = {
        {"abc", 3, "abc"},
        {"abc", 2, "ab"},
        {"abc", 0, ""},
        {flag + flag, 15, flag},  // a cut after 4 bytes of the second flag would split it
        {flag + flag, 16, flag + flag},
        {"a" + family, 18, "a"},
        {"a" + family, 19, "a" + family},
        {"e\u0301", 2, ""},  // no bare base without its accent
    };
    for (const auto& c : cases) {
        EXPECT_EQ(leadingCharactersWithin(c.text, c.maxBytes), c.expected)
            << c.text << " in " << c.maxBytes;
    }
    std::string flags;
    for (int i = 0; i < 60; ++i) {
        flags += flag;
    }
    const auto cut = leadingCharactersWithin(flags, 256);
    EXPECT_EQ(cut.size(), 256u);  // 32 whole flags
}

TEST(TextUnitsTest, LowercasingIsFullUnicode) {
    EXPECT_EQ(lowercased("COM.Adobe.PHOTOSHOP"), "com.adobe.photoshop");
    EXPECT_EQ(lowercased("ÄÖÜ ΣΑΣ"), "äöü σας");
    EXPECT_EQ(lowercased("İ"), "i\u0307");
}

TEST(TextUnitsTest, LocalizedOrderIgnoresCase) {
    LocalizedCaseInsensitiveOrder order;
    EXPECT_EQ(order.compare("krita", "Krita"), 0);
    std::vector<std::string> names{"gimp", "Blender", "inkscape", "Affinity"};
    std::sort(names.begin(), names.end(), order);
    EXPECT_EQ(names, (std::vector<std::string>{"Affinity", "Blender", "gimp", "inkscape"}));
}

}  // namespace
}  // namespace quillory
