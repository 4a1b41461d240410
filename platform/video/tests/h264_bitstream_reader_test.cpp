#include "platform/video/h264_bitstream_reader.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

// Writes RBSP bits and wraps them into a NAL unit with emulation prevention, as an encoder does.
class BitWriter {
  public:
    BitWriter& bits(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            bit((value >> i) & 1u);
        }
        return *this;
    }
    BitWriter& ue(std::uint32_t value) {
        const std::uint64_t code = std::uint64_t{value} + 1;
        int length = 0;
        while ((code >> length) > 1) {
            ++length;
        }
        bits(0, length);
        for (int i = length; i >= 0; --i) {
            bit(static_cast<std::uint32_t>((code >> i) & 1u));
        }
        return *this;
    }
    BitWriter& se(std::int64_t value) {
        return ue(static_cast<std::uint32_t>(value > 0 ? 2 * value - 1 : -2 * value));
    }
    Bytes nal(std::uint8_t header) {
        bit(1);
        while (count_ % 8 != 0) {
            bit(0);
        }
        Bytes out{header};
        int zeros = 0;
        for (const std::uint8_t byte : rbsp_) {
            if (zeros >= 2 && byte <= 3) {
                out.push_back(3);
                zeros = 0;
            }
            out.push_back(byte);
            zeros = byte == 0 ? zeros + 1 : 0;
        }
        return out;
    }

  private:
    void bit(std::uint32_t value) {
        if (count_ % 8 == 0) {
            rbsp_.push_back(0);
        }
        rbsp_.back() = static_cast<std::uint8_t>(rbsp_.back() | value << (7 - count_ % 8));
        ++count_;
    }
    Bytes rbsp_;
    int count_ = 0;
};

// Baseline SPS for 640×360 (cropped from 368), id 0, POC type 0.
Bytes baselineSps() {
    BitWriter w;
    w.bits(66, 8).bits(0xc0, 8).bits(31, 8).ue(0);
    w.ue(0).ue(0).ue(2);                 // log2_max_frame_num 4, poc type 0, lsb 6 bits
    w.ue(1).bits(0, 1).ue(39).ue(22);    // refs, gaps, 40 × 23 macroblocks
    w.bits(1, 1).bits(1, 1).bits(1, 1);  // frame_mbs_only, direct_8x8, cropping
    w.ue(0).ue(0).ue(0).ue(4);
    w.bits(0, 1);  // no VUI
    return w.nal(0x67);
}

Bytes pps(int initQp, bool cabac) {
    BitWriter w;
    w.ue(0).ue(0).bits(cabac ? 1 : 0, 1).bits(0, 1).ue(0);
    w.ue(0).ue(0).bits(0, 1).bits(0, 2).se(initQp - 26).se(0).se(0);
    w.bits(1, 1).bits(0, 1).bits(0, 1);
    return w.nal(0x68);
}

Bytes idrSlice(int qpDelta) {
    BitWriter w;
    w.ue(0).ue(7).ue(0).bits(0, 4).ue(0).bits(0, 6);  // I slice, frame_num, idr_pic_id, lsb
    w.bits(0, 1).bits(0, 1);                          // dec_ref_pic_marking
    w.se(qpDelta);
    return w.nal(0x65);
}

// A P slice with a reference override, a list modification and memory management operations.
Bytes busyPSlice(int qpDelta, bool cabac) {
    BitWriter w;
    w.ue(0).ue(5).ue(0).bits(3, 4).bits(6, 6);
    w.bits(1, 1).ue(1);                          // num_ref_idx_active_override: 2 references
    w.bits(1, 1).ue(0).ue(2).ue(2).ue(0).ue(3);  // modifications, then end
    w.bits(1, 1).ue(1).ue(0).ue(4).ue(2).ue(0);  // mmco 1 and 4, then end
    if (cabac) {
        w.ue(1);
    }
    w.se(qpDelta);
    return w.nal(0x41);
}

Bytes annexB(std::initializer_list<std::pair<int, Bytes>> units) {
    Bytes out;
    for (const auto& [startCode, unit] : units) {
        for (int i = 0; i < startCode - 1; ++i) {
            out.push_back(0);
        }
        out.push_back(1);
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

TEST(H264BitstreamReader, SplitsOnThreeAndFourByteStartCodes) {
    const Bytes stream = annexB({{4, {0x67, 1, 2}}, {3, {0x68, 3}}, {4, {0x65, 0, 0, 4}}});
    Bytes withGarbage{9, 9};
    withGarbage.insert(withGarbage.end(), stream.begin(), stream.end());
    withGarbage.push_back(0);  // a trailing zero belongs to no unit
    for (const Bytes& bytes : {stream, withGarbage}) {
        const auto units = splitAnnexB(bytes);
        ASSERT_EQ(units.size(), 3u);
        EXPECT_EQ(Bytes(units[0].bytes.begin(), units[0].bytes.end()), (Bytes{0x67, 1, 2}));
        EXPECT_EQ(units[1].type(), 8);
        EXPECT_EQ(Bytes(units[2].bytes.begin(), units[2].bytes.end()), (Bytes{0x65, 0, 0, 4}));
    }
    EXPECT_TRUE(splitAnnexB(Bytes{0, 0, 1}).empty());
    EXPECT_TRUE(splitAnnexB(Bytes{1, 2, 3}).empty());
}

TEST(H264BitstreamReader, RemovesEmulationPrevention) {
    EXPECT_EQ(removeEmulationPrevention(Bytes{0, 0, 3, 1, 0, 0, 3, 0, 0, 3}),
              (Bytes{0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(removeEmulationPrevention(Bytes{0, 3, 0, 0, 0, 3}), (Bytes{0, 3, 0, 0, 0}));
}

TEST(H264BitstreamReader, ReadsParameterSetsAndSliceQp) {
    const Bytes spsUnit = baselineSps();
    const auto sps = parseH264Sps({spsUnit});
    ASSERT_TRUE(sps);
    EXPECT_EQ(profileLevelId(*sps), "42c01f");
    EXPECT_EQ(sps->width, 640);
    EXPECT_EQ(sps->height, 360);
    const struct {
        int initQp, delta;
        bool cabac, idr;
    } cases[] = {{26, 0, false, true},
                 {30, -4, false, true},
                 {20, 31, false, true},
                 {40, -3, false, false},
                 {26, 7, true, false}};
    for (const auto& c : cases) {
        const Bytes ppsUnit = pps(c.initQp, c.cabac);
        const auto parsedPps = parseH264Pps({ppsUnit});
        ASSERT_TRUE(parsedPps);
        const Bytes slice = c.idr ? idrSlice(c.delta) : busyPSlice(c.delta, c.cabac);
        EXPECT_EQ(parseH264SliceQp({slice}, *sps, *parsedPps), c.initQp + c.delta)
            << c.initQp << " + " << c.delta;
    }
}

TEST(H264BitstreamReader, StreamReaderFollowsItsParameterSets) {
    H264StreamReader reader;
    const Bytes key = annexB({{4, baselineSps()}, {4, pps(28, false)}, {4, idrSlice(2)}});
    const auto first = reader.read(key);
    EXPECT_TRUE(first.idr && first.hasSps && first.hasPps);
    EXPECT_EQ(first.qp, 30);
    EXPECT_EQ(first.nalTypes, (std::vector<int>{7, 8, 5}));
    const auto delta = reader.read(annexB({{4, busyPSlice(-5, false)}}));
    EXPECT_FALSE(delta.idr);
    EXPECT_EQ(delta.qp, 23);
    // A slice before any parameter set has no QP.
    EXPECT_FALSE(H264StreamReader().read(annexB({{4, idrSlice(0)}})).qp);
}

TEST(H264BitstreamReader, TruncatedOrWrongUnitsGiveNothing) {
    const Bytes spsUnit = baselineSps();
    const Bytes ppsUnit = pps(26, true);
    const Bytes slice = busyPSlice(3, true);
    const auto sps = *parseH264Sps({spsUnit});
    const auto parsedPps = *parseH264Pps({ppsUnit});
    // Every cut inside the fields that are read: an exact-sized copy, so an over-read would be
    // caught by the address sanitizer.
    for (std::size_t size = 0; size < spsUnit.size(); ++size) {
        const Bytes cut(spsUnit.begin(), spsUnit.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(parseH264Sps({cut})) << size;
    }
    for (std::size_t size = 0; size < slice.size() - 1; ++size) {
        const Bytes cut(slice.begin(), slice.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(parseH264SliceQp({cut}, sps, parsedPps)) << size;
    }
    EXPECT_FALSE(parseH264Sps({ppsUnit}));
    EXPECT_FALSE(parseH264Pps({spsUnit}));
    EXPECT_FALSE(parseH264SliceQp({spsUnit}, sps, parsedPps));
    // Only zeros: an Exp-Golomb code longer than 32 bits.
    EXPECT_FALSE(parseH264Sps({Bytes{0x67, 66, 0, 31, 0, 0, 0, 0, 0, 0}}));
    // Values far out of range never reach arithmetic.
    BitWriter hugeFrameNum;
    hugeFrameNum.bits(66, 8).bits(0xc0, 8).bits(31, 8).ue(0).ue(0x7fffffff).ue(0).ue(2);
    EXPECT_FALSE(parseH264Sps({hugeFrameNum.nal(0x67)}));
    BitWriter hugeQp;
    hugeQp.ue(0).ue(0).bits(0, 1).bits(0, 1).ue(0).ue(0).ue(0).bits(0, 1).bits(0, 2);
    hugeQp.se(0x7fffffff).se(0).se(0).bits(1, 1).bits(0, 1).bits(0, 1);
    EXPECT_FALSE(parseH264Pps({hugeQp.nal(0x68)}));
    // A slice naming another PPS.
    auto otherPps = parsedPps;
    otherPps.id = 1;
    EXPECT_FALSE(parseH264SliceQp({slice}, sps, otherPps));
}

}  // namespace
}  // namespace quillory
