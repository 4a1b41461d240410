#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/crypto/crypto.h"

namespace quillory {

enum class H264NalType : int {
    slice = 1,
    idrSlice = 5,
    sei = 6,
    sps = 7,
    pps = 8,
    accessUnitDelimiter = 9,
};

// One NAL unit of an Annex-B stream: the bytes after its start code, header byte included,
// emulation-prevention bytes still in place.
struct H264NalUnit {
    ByteView bytes;
    int type() const { return bytes.empty() ? 0 : bytes[0] & 0x1f; }
    int refIdc() const { return bytes.empty() ? 0 : (bytes[0] >> 5) & 0x3; }
};

// Splits on 3- and 4-byte start codes; bytes before the first start code are skipped and empty
// units are left out. The units view into `stream`.
std::vector<H264NalUnit> splitAnnexB(ByteView stream);

// The payload of a NAL unit (after its header byte) with 00 00 03 turned back into 00 00.
Bytes removeEmulationPrevention(ByteView payload);

// What a slice header needs of a sequence parameter set.
struct H264Sps {
    int profileIdc = 0;
    int constraintFlags = 0;
    int levelIdc = 0;
    int id = 0;
    int chromaFormatIdc = 1;
    bool separateColourPlane = false;
    int log2MaxFrameNum = 0;
    int picOrderCntType = 0;
    int log2MaxPicOrderCntLsb = 0;
    bool deltaPicOrderAlwaysZero = false;
    bool frameMbsOnly = true;
    int width = 0;   // after cropping
    int height = 0;  // after cropping
};

struct H264Pps {
    int id = 0;
    int spsId = 0;
    bool entropyCodingMode = false;
    bool bottomFieldPicOrderInFramePresent = false;
    int numRefIdxL0DefaultActive = 1;
    int numRefIdxL1DefaultActive = 1;
    bool weightedPred = false;
    int weightedBipredIdc = 0;
    int picInitQp = 26;
    bool redundantPicCntPresent = false;
};

// Each parser takes a whole NAL unit (header byte included) and answers nothing for the wrong
// type, a truncated unit or values out of range; none reads past the unit's end.
std::optional<H264Sps> parseH264Sps(const H264NalUnit& unit);
std::optional<H264Pps> parseH264Pps(const H264NalUnit& unit);
// The slice's QP: pic_init_qp + slice_qp_delta. The SPS and PPS must be the ones it refers to.
std::optional<int> parseH264SliceQp(const H264NalUnit& unit, const H264Sps& sps,
                                    const H264Pps& pps);

// Reads an access unit with the parameter sets seen so far; SPS and PPS in the unit update them.
class H264StreamReader {
  public:
    struct AccessUnit {
        bool idr = false;
        bool hasSps = false;
        bool hasPps = false;
        std::optional<int> qp;  // of the first slice, when its parameter sets are known
        std::vector<int> nalTypes;
    };
    AccessUnit read(ByteView accessUnit);
    const std::optional<H264Sps>& sps() const { return sps_; }

  private:
    std::optional<H264Sps> sps_;
    std::optional<H264Pps> pps_;
};

// RFC 6184 profile-level-id text (profile, constraint and level bytes in hexadecimal).
std::string profileLevelId(const H264Sps& sps);

}  // namespace quillory
