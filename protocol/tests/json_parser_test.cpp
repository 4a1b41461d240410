#include <gtest/gtest.h>

#include <string>

#include "protocol/json_codec.h"

namespace quillory {
namespace {

TEST(JsonParser, BuildsTheSameDocumentAsTheLibrary) {
    const char* texts[] = {
        R"({"a":[1,-0,1.5e-3,0.1,2E+2,-12.75e-1,18446744073709551615],"b":{"c":null},"d":true})",
        R"( [ "Grüße", "\u00e9\ud83d\udd8a", "\"\\\/\b\f\n\r\t" , {} , [] ] )",
        R"(18446744073709551616)",  // past 64 bits: a double
        R"(-9223372036854775809)",
        R"(1e-400)",  // underflow rounds to zero
        R"("\u0000")",
    };
    for (const char* text : texts) {
        const auto ours = parseJSON(text);
        ASSERT_TRUE(ours) << text;
        EXPECT_EQ(*ours, Json::parse(text)) << text;
    }
    EXPECT_TRUE(parseJSON("7")->is_number_unsigned());
    EXPECT_TRUE(parseJSON("-7")->is_number_integer());
    EXPECT_TRUE(parseJSON("7.0")->is_number_float());
}

TEST(JsonParser, RepeatedKeysKeepFirstPlaceAndLastValue) {
    EXPECT_EQ(dumpJSON(*parseJSON(R"({"a":1,"b":2,"a":3})")), R"({"a":3,"b":2})");
    // Also in objects large enough to be indexed.
    std::string text = "{";
    for (int key = 0; key < 100; ++key) {
        text += "\"k" + std::to_string(key) + "\":" + std::to_string(key) + ",";
    }
    text += R"("k5":"again"})";
    const auto large = parseJSON(text);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->size(), 100U);
    EXPECT_EQ((*large)["k5"], "again");
    EXPECT_EQ(large->begin().key(), "k0");
}

TEST(JsonParser, RefusesWhatIsNotJSON) {
    for (const char* text : {"",
                             " ",
                             "{",
                             "[1,]",
                             "{\"a\":1,}",
                             "{\"a\" 1}",
                             "{a:1}",
                             "[1] x",
                             "01",
                             "-",
                             "1.",
                             ".5",
                             "1e",
                             "+1",
                             "0x10",
                             "1e400",
                             "-1e400",
                             "NaN",
                             "Infinity",
                             "tru",
                             "nul",
                             "'a'",
                             "\"a",
                             "\"\\x\"",
                             "\"\\u12\"",
                             "\"\\uDC00\"",
                             "\"\\uD800\"",
                             "\"\\uD800\\u0041\"",
                             "\"tab\there\"",
                             "\"\xC3\"",
                             "\"\xC0\xAF\"",
                             "\"\xED\xA0\x80\"",
                             "\xEF\xBB\xBF{}"}) {
        EXPECT_FALSE(parseJSON(text)) << text;
    }
}

TEST(JsonParser, RefusesDeepNesting) {
    const auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + R"("[{\"")" + std::string(depth, ']');
    };
    EXPECT_TRUE(parseJSON(nested(kMaxJSONDepth)));
    EXPECT_FALSE(parseJSON(nested(kMaxJSONDepth + 1)));
    EXPECT_FALSE(parseJSON(nested(100'000)));
}

}  // namespace
}  // namespace quillory
