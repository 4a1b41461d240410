#include "platform/video/h264_bitstream_reader.h"

#include <cstdio>

namespace quillory {
namespace {

// Bits of an RBSP, most significant first. Any read past the end marks the reader failed and
// answers 0, so a parser checks `ok()` once after a group of reads.
class BitReader {
  public:
    explicit BitReader(ByteView bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }

    std::uint32_t bits(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            value = (value << 1) | bit();
        }
        return value;
    }

    bool flag() { return bit() != 0; }

    // Exp-Golomb, unsigned; codes longer than 32 bits are refused.
    std::uint32_t ue() {
        int zeros = 0;
        while (ok_ && bit() == 0) {
            if (++zeros > 31) {
                ok_ = false;
            }
        }
        if (!ok_) {
            return 0;
        }
        const std::uint64_t rest = bits(zeros);
        return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + rest);
    }

    std::int32_t se() {
        const std::uint32_t code = ue();
        const auto magnitude = static_cast<std::int32_t>((code + 1) / 2);
        return code % 2 == 1 ? magnitude : -magnitude;
    }

    // ue() that must not exceed `maximum`; a larger value fails the reader and reads as 0, so
    // no caller computes with it.
    std::uint32_t ueAtMost(std::uint32_t maximum) {
        const std::uint32_t value = ue();
        if (value > maximum) {
            ok_ = false;
            return 0;
        }
        return value;
    }

    // se() within [minimum, maximum], in the same way.
    std::int32_t seWithin(std::int32_t minimum, std::int32_t maximum) {
        const std::int32_t value = se();
        if (value < minimum || value > maximum) {
            ok_ = false;
            return 0;
        }
        return value;
    }

  private:
    std::uint32_t bit() {
        if (position_ >= bytes_.size() * 8) {
            ok_ = false;
            return 0;
        }
        const std::uint32_t value = (bytes_[position_ / 8] >> (7 - position_ % 8)) & 1u;
        ++position_;
        return value;
    }

    ByteView bytes_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

bool hasChromaFormat(int profileIdc) {
    switch (profileIdc) {
        case 100:
        case 110:
        case 122:
        case 244:
        case 44:
        case 83:
        case 86:
        case 118:
        case 128:
        case 138:
        case 139:
        case 134:
        case 135:
            return true;
        default:
            return false;
    }
}

void skipScalingList(BitReader& reader, int size) {
    int last = 8;
    int next = 8;
    for (int j = 0; j < size && reader.ok(); ++j) {
        if (next != 0) {
            next = (last + reader.seWithin(-128, 127) + 256) % 256;
        }
        last = next == 0 ? last : next;
    }
}

std::optional<BitReader> payloadReader(const H264NalUnit& unit, int type, Bytes& rbsp) {
    if (unit.type() != type || unit.bytes.size() < 2) {
        return std::nullopt;
    }
    rbsp = removeEmulationPrevention(unit.bytes.subspan(1));
    return BitReader(rbsp);
}

bool isSliceType(int type) {
    return type == 1 || type == 5;
}

struct SliceKind {
    bool p = false;  // P or SP
    bool b = false;
    bool i = false;  // I or SI
};

SliceKind sliceKind(int sliceType) {
    return {sliceType == 0 || sliceType == 3, sliceType == 1, sliceType == 2 || sliceType == 4};
}

// From colour_plane_id through redundant_pic_cnt: fields the QP does not depend on.
void skipPictureOrder(BitReader& r, const H264Sps& sps, const H264Pps& pps, bool idr) {
    if (sps.separateColourPlane) {
        r.bits(2);
    }
    r.bits(sps.log2MaxFrameNum);
    bool fieldPic = false;
    if (!sps.frameMbsOnly) {
        fieldPic = r.flag();
        if (fieldPic) {
            r.flag();  // bottom_field_flag
        }
    }
    if (idr) {
        r.ue();  // idr_pic_id
    }
    if (sps.picOrderCntType == 0) {
        r.bits(sps.log2MaxPicOrderCntLsb);
        if (pps.bottomFieldPicOrderInFramePresent && !fieldPic) {
            r.se();
        }
    } else if (sps.picOrderCntType == 1 && !sps.deltaPicOrderAlwaysZero) {
        r.se();
        if (pps.bottomFieldPicOrderInFramePresent && !fieldPic) {
            r.se();
        }
    }
    if (pps.redundantPicCntPresent) {
        r.ue();
    }
}

void skipRefPicListModification(BitReader& r, SliceKind kind) {
    for (int list = 0; list < (kind.b ? 2 : 1) && !kind.i && r.ok(); ++list) {
        if (r.flag()) {
            for (int guard = 0; r.ok(); ++guard) {
                const std::uint32_t idc = r.ueAtMost(5);
                if (idc == 3 || guard > 64) {
                    break;
                }
                r.ue();
            }
        }
    }
}

void skipPredWeightTable(BitReader& r, const H264Sps& sps, SliceKind kind, int refL0, int refL1) {
    r.ueAtMost(7);  // luma_log2_weight_denom
    const bool chroma = !sps.separateColourPlane && sps.chromaFormatIdc != 0;
    if (chroma) {
        r.ueAtMost(7);
    }
    for (int list = 0; list < (kind.b ? 2 : 1) && r.ok(); ++list) {
        const int count = list == 0 ? refL0 : refL1;
        for (int k = 0; k < count && r.ok(); ++k) {
            if (r.flag()) {
                r.se();
                r.se();
            }
            if (chroma && r.flag()) {
                for (int c = 0; c < 4; ++c) {
                    r.se();
                }
            }
        }
    }
}

void skipDecRefPicMarking(BitReader& r, bool idr) {
    if (idr) {
        r.flag();  // no_output_of_prior_pics_flag
        r.flag();  // long_term_reference_flag
        return;
    }
    if (!r.flag()) {
        return;
    }
    for (int guard = 0; r.ok(); ++guard) {
        const std::uint32_t operation = r.ueAtMost(6);
        if (operation == 0 || guard > 64) {
            break;
        }
        if (operation == 1 || operation == 3) {
            r.ue();
        }
        if (operation == 2) {
            r.ue();
        }
        if (operation == 3 || operation == 6) {
            r.ue();
        }
        if (operation == 4) {
            r.ue();
        }
    }
}

}  // namespace

std::vector<H264NalUnit> splitAnnexB(ByteView stream) {
    std::vector<H264NalUnit> units;
    const std::size_t size = stream.size();
    std::optional<std::size_t> start;
    std::size_t i = 0;
    while (i + 3 <= size) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            if (start) {
                // A 4-byte start code leaves its leading zero (and any trailing zeros) behind.
                std::size_t end = i;
                while (end > *start && stream[end - 1] == 0) {
                    --end;
                }
                if (end > *start) {
                    units.push_back({stream.subspan(*start, end - *start)});
                }
            }
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    if (start) {
        // Trailing zero bytes after the last unit belong to no unit.
        std::size_t end = size;
        while (end > *start && stream[end - 1] == 0) {
            --end;
        }
        if (end > *start) {
            units.push_back({stream.subspan(*start, end - *start)});
        }
    }
    return units;
}

Bytes removeEmulationPrevention(ByteView payload) {
    Bytes out;
    out.reserve(payload.size());
    int zeros = 0;
    for (const std::uint8_t byte : payload) {
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        out.push_back(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return out;
}

std::optional<H264Sps> parseH264Sps(const H264NalUnit& unit) {
    Bytes rbsp;
    auto reader = payloadReader(unit, static_cast<int>(H264NalType::sps), rbsp);
    if (!reader) {
        return std::nullopt;
    }
    BitReader& r = *reader;
    H264Sps sps;
    sps.profileIdc = static_cast<int>(r.bits(8));
    sps.constraintFlags = static_cast<int>(r.bits(8));
    sps.levelIdc = static_cast<int>(r.bits(8));
    sps.id = static_cast<int>(r.ueAtMost(31));
    if (hasChromaFormat(sps.profileIdc)) {
        sps.chromaFormatIdc = static_cast<int>(r.ueAtMost(3));
        if (sps.chromaFormatIdc == 3) {
            sps.separateColourPlane = r.flag();
        }
        r.ueAtMost(6);  // bit_depth_luma_minus8
        r.ueAtMost(6);  // bit_depth_chroma_minus8
        r.flag();       // qpprime_y_zero_transform_bypass_flag
        if (r.flag()) {
            const int lists = sps.chromaFormatIdc != 3 ? 8 : 12;
            for (int i = 0; i < lists && r.ok(); ++i) {
                if (r.flag()) {
                    skipScalingList(r, i < 6 ? 16 : 64);
                }
            }
        }
    }
    sps.log2MaxFrameNum = static_cast<int>(r.ueAtMost(12)) + 4;
    sps.picOrderCntType = static_cast<int>(r.ueAtMost(2));
    if (sps.picOrderCntType == 0) {
        sps.log2MaxPicOrderCntLsb = static_cast<int>(r.ueAtMost(12)) + 4;
    } else if (sps.picOrderCntType == 1) {
        sps.deltaPicOrderAlwaysZero = r.flag();
        r.se();  // offset_for_non_ref_pic
        r.se();  // offset_for_top_to_bottom_field
        const std::uint32_t cycle = r.ueAtMost(255);
        for (std::uint32_t i = 0; i < cycle && r.ok(); ++i) {
            r.se();
        }
    }
    r.ue();    // max_num_ref_frames
    r.flag();  // gaps_in_frame_num_value_allowed_flag
    const auto widthMbs = static_cast<int>(r.ueAtMost(1023)) + 1;
    const auto heightMapUnits = static_cast<int>(r.ueAtMost(1023)) + 1;
    sps.frameMbsOnly = r.flag();
    if (!sps.frameMbsOnly) {
        r.flag();  // mb_adaptive_frame_field_flag
    }
    r.flag();  // direct_8x8_inference_flag
    int cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    if (r.flag()) {
        cropLeft = static_cast<int>(r.ueAtMost(8192));
        cropRight = static_cast<int>(r.ueAtMost(8192));
        cropTop = static_cast<int>(r.ueAtMost(8192));
        cropBottom = static_cast<int>(r.ueAtMost(8192));
    }
    if (!r.ok()) {
        return std::nullopt;
    }
    const int heightMbs = heightMapUnits * (sps.frameMbsOnly ? 1 : 2);
    const int cropUnitX = sps.chromaFormatIdc == 1 || sps.chromaFormatIdc == 2 ? 2 : 1;
    const int cropUnitY = (sps.chromaFormatIdc == 1 ? 2 : 1) * (sps.frameMbsOnly ? 1 : 2);
    sps.width = widthMbs * 16 - cropUnitX * (cropLeft + cropRight);
    sps.height = heightMbs * 16 - cropUnitY * (cropTop + cropBottom);
    if (sps.width <= 0 || sps.height <= 0) {
        return std::nullopt;
    }
    return sps;
}

std::optional<H264Pps> parseH264Pps(const H264NalUnit& unit) {
    Bytes rbsp;
    auto reader = payloadReader(unit, static_cast<int>(H264NalType::pps), rbsp);
    if (!reader) {
        return std::nullopt;
    }
    BitReader& r = *reader;
    H264Pps pps;
    pps.id = static_cast<int>(r.ueAtMost(255));
    pps.spsId = static_cast<int>(r.ueAtMost(31));
    pps.entropyCodingMode = r.flag();
    pps.bottomFieldPicOrderInFramePresent = r.flag();
    const std::uint32_t sliceGroups = r.ueAtMost(7) + 1;
    if (sliceGroups > 1) {
        const std::uint32_t mapType = r.ueAtMost(6);
        if (mapType == 0) {
            for (std::uint32_t i = 0; i < sliceGroups && r.ok(); ++i) {
                r.ue();  // run_length_minus1
            }
        } else if (mapType == 2) {
            for (std::uint32_t i = 0; i + 1 < sliceGroups && r.ok(); ++i) {
                r.ue();  // top_left
                r.ue();  // bottom_right
            }
        } else if (mapType >= 3 && mapType <= 5) {
            r.flag();  // slice_group_change_direction_flag
            r.ue();    // slice_group_change_rate_minus1
        } else if (mapType == 6) {
            const std::uint32_t mapUnits = r.ueAtMost(1 << 20) + 1;
            int idBits = 0;
            while ((1u << idBits) < sliceGroups) {
                ++idBits;
            }
            for (std::uint32_t i = 0; i < mapUnits && r.ok(); ++i) {
                r.bits(idBits);
            }
        }
    }
    pps.numRefIdxL0DefaultActive = static_cast<int>(r.ueAtMost(31)) + 1;
    pps.numRefIdxL1DefaultActive = static_cast<int>(r.ueAtMost(31)) + 1;
    pps.weightedPred = r.flag();
    pps.weightedBipredIdc = static_cast<int>(r.bits(2));
    pps.picInitQp = 26 + r.seWithin(-26, 25);
    r.se();    // pic_init_qs_minus26
    r.se();    // chroma_qp_index_offset
    r.flag();  // deblocking_filter_control_present_flag
    r.flag();  // constrained_intra_pred_flag
    pps.redundantPicCntPresent = r.flag();
    if (!r.ok() || pps.picInitQp < 0 || pps.picInitQp > 51 || pps.weightedBipredIdc > 2) {
        return std::nullopt;
    }
    return pps;
}

std::optional<int> parseH264SliceQp(const H264NalUnit& unit, const H264Sps& sps,
                                    const H264Pps& pps) {
    if (!isSliceType(unit.type()) || unit.bytes.size() < 2) {
        return std::nullopt;
    }
    const bool idr = unit.type() == 5;
    Bytes rbsp = removeEmulationPrevention(unit.bytes.subspan(1));
    BitReader r(rbsp);
    r.ue();  // first_mb_in_slice
    const SliceKind kind = sliceKind(static_cast<int>(r.ueAtMost(9)) % 5);
    if (static_cast<int>(r.ueAtMost(255)) != pps.id) {
        return std::nullopt;
    }
    skipPictureOrder(r, sps, pps, idr);
    if (kind.b) {
        r.flag();  // direct_spatial_mv_pred_flag
    }
    int refL0 = pps.numRefIdxL0DefaultActive;
    int refL1 = pps.numRefIdxL1DefaultActive;
    if ((kind.p || kind.b) && r.flag()) {
        refL0 = static_cast<int>(r.ueAtMost(31)) + 1;
        if (kind.b) {
            refL1 = static_cast<int>(r.ueAtMost(31)) + 1;
        }
    }
    skipRefPicListModification(r, kind);
    if ((pps.weightedPred && kind.p) || (pps.weightedBipredIdc == 1 && kind.b)) {
        skipPredWeightTable(r, sps, kind, refL0, refL1);
    }
    if (unit.refIdc() != 0) {
        skipDecRefPicMarking(r, idr);
    }
    if (pps.entropyCodingMode && !kind.i) {
        r.ueAtMost(2);  // cabac_init_idc
    }
    const int qp = pps.picInitQp + r.seWithin(-51, 51);
    if (!r.ok() || qp < 0 || qp > 51) {
        return std::nullopt;
    }
    return qp;
}

H264StreamReader::AccessUnit H264StreamReader::read(ByteView accessUnit) {
    AccessUnit result;
    for (const H264NalUnit& unit : splitAnnexB(accessUnit)) {
        const int type = unit.type();
        result.nalTypes.push_back(type);
        if (type == static_cast<int>(H264NalType::sps)) {
            if (auto parsed = parseH264Sps(unit)) {
                sps_ = parsed;
                result.hasSps = true;
            }
        } else if (type == static_cast<int>(H264NalType::pps)) {
            if (auto parsed = parseH264Pps(unit)) {
                pps_ = parsed;
                result.hasPps = true;
            }
        } else if (isSliceType(type)) {
            result.idr = result.idr || type == static_cast<int>(H264NalType::idrSlice);
            if (!result.qp && sps_ && pps_ && pps_->spsId == sps_->id) {
                result.qp = parseH264SliceQp(unit, *sps_, *pps_);
            }
        }
    }
    return result;
}

std::string profileLevelId(const H264Sps& sps) {
    char text[7];
    std::snprintf(text, sizeof text, "%02x%02x%02x", sps.profileIdc & 0xff,
                  sps.constraintFlags & 0xff, sps.levelIdc & 0xff);
    return text;
}

}  // namespace quillory
