#include "app/studio/studio_annex_b.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

Bytes repeat(std::uint8_t value, std::size_t count) {
    return Bytes(count, value);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

const Bytes fourByteStart{0, 0, 0, 1};

TEST(StudioAnnexBTest, LengthPrefixedUnitsBecomeStartCodedUnits) {
    struct Case {
        const char* name;
        Bytes input;
        int prefix;
        std::optional<Bytes> expected;
    };
    const Bytes five{0x41, 1, 2, 3, 4};
    const Bytes three{0x65, 7, 8};
    const Case cases[] = {
        {"4-byte prefix", concat({{0, 0, 0, 5}, five}), 4, concat({fourByteStart, five})},
        {"2-byte prefix", concat({{0, 3}, three}), 2, concat({fourByteStart, three})},
        {"1-byte prefix", concat({{3}, three}), 1, concat({fourByteStart, three})},
        {"3-byte prefix, two units in order", concat({{0, 0, 5}, five, {0, 0, 3}, three}), 3,
         concat({fourByteStart, five, fourByteStart, three})},
        {"prefix announces more than remains", concat({{0, 0, 0, 9}, five}), 4, std::nullopt},
        {"zero prefix", {0, 0, 0, 0, 1}, 4, std::nullopt},
        {"two stray bytes after the last unit", concat({{0, 0, 0, 5}, five, {0, 1}}), 4,
         std::nullopt},
        {"prefix size 5", concat({{0, 0, 0, 0, 5}, five}), 5, std::nullopt},
        {"prefix size 0", five, 0, std::nullopt},
        {"empty", {}, 4, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(annexBNALUnits(c.input, c.prefix), c.expected);
    }
}

TEST(StudioAnnexBTest, PacketsAreNormalisedForThePacketizer) {
    const Bytes sps = concat({{0x67}, repeat(0x42, 9)});
    const Bytes pps = concat({{0x68}, repeat(0xce, 3)});
    const Bytes sei{0x06, 0x05, 0x11};
    const Bytes idr = concat({{0x65}, repeat(0x88, 99)});
    const Bytes slice{0x41, 0x9a, 0x10};
    const Bytes shortStart{0, 0, 1};

    AnnexBParameterSets seen;
    // The codec's 3-byte start codes; parameter sets move in front, SEI stays before the slice.
    auto key = annexBAccessUnit(
        concat({shortStart, sei, fourByteStart, sps, shortStart, pps, shortStart, idr}), seen);
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->keyframe);
    EXPECT_EQ(key->bytes, concat({fourByteStart, sps, fourByteStart, pps, fourByteStart, sei,
                                  fourByteStart, idr}));
    EXPECT_EQ(key->bytes.size(), 10 + 4 + 3 + 100 + 16u);

    // A keyframe without parameter sets gets the last ones seen.
    auto bare = annexBAccessUnit(concat({shortStart, idr}), seen);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->bytes, concat({fourByteStart, sps, fourByteStart, pps, fourByteStart, idr}));

    // Never parameter sets before a delta frame, even when the codec repeats them there; they
    // still count as the last ones seen.
    const Bytes newPps = {0x68, 0xee};
    auto delta = annexBAccessUnit(
        concat({fourByteStart, newPps, fourByteStart, sei, shortStart, slice}), seen);
    ASSERT_TRUE(delta);
    EXPECT_FALSE(delta->keyframe);
    EXPECT_EQ(delta->bytes, concat({fourByteStart, sei, fourByteStart, slice}));
    auto after = annexBAccessUnit(concat({fourByteStart, idr}), seen);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->bytes,
              concat({fourByteStart, sps, fourByteStart, newPps, fourByteStart, idr}));
}

TEST(StudioAnnexBTest, PacketsThatCannotBeSentGiveNothing) {
    const Bytes idr{0x65, 0x88, 0x80};
    struct Case {
        const char* name;
        Bytes packet;
    };
    const Case cases[] = {
        {"empty", {}},
        {"no slice", concat({fourByteStart,
                             {0x67, 0x42},
                             fourByteStart,
                             {0x68, 0xce},
                             fourByteStart,
                             {0x06, 0x05}})},
        {"no start code", {0x65, 0x88}},
        {"keyframe before any parameter sets", concat({fourByteStart, idr})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnnexBParameterSets seen;
        EXPECT_FALSE(annexBAccessUnit(c.packet, seen));
    }
}

}  // namespace
}  // namespace quillory
