#include "app/studio/studio_annex_b.h"

#include <array>

#include "platform/video/h264_bitstream_reader.h"

namespace quillory {
namespace {

constexpr std::array<std::uint8_t, 4> startCode{0, 0, 0, 1};
constexpr std::size_t reserveBytes = 16;

void appendUnit(Bytes& out, ByteView unit) {
    out.insert(out.end(), startCode.begin(), startCode.end());
    out.insert(out.end(), unit.begin(), unit.end());
}

bool isSlice(int type) {
    return type == static_cast<int>(H264NalType::slice) ||
           type == static_cast<int>(H264NalType::idrSlice);
}

}  // namespace

std::optional<Bytes> annexBNALUnits(ByteView bytes, int prefixSize) {
    if (prefixSize < 1 || prefixSize > 4 || bytes.empty()) {
        return std::nullopt;
    }
    const auto prefix = static_cast<std::size_t>(prefixSize);
    Bytes out;
    out.reserve(bytes.size() + reserveBytes);
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        if (bytes.size() - offset < prefix) {
            return std::nullopt;
        }
        std::size_t size = 0;
        for (std::size_t i = 0; i < prefix; ++i) {
            size = size << 8 | bytes[offset + i];
        }
        offset += prefix;
        if (size == 0 || bytes.size() - offset < size) {
            return std::nullopt;
        }
        appendUnit(out, bytes.subspan(offset, size));
        offset += size;
    }
    return out;
}

std::optional<AnnexBAccessUnit> annexBAccessUnit(ByteView packet, AnnexBParameterSets& lastSeen) {
    const std::vector<H264NalUnit> units = splitAnnexB(packet);
    ByteView sps;
    ByteView pps;
    bool idr = false;
    bool slice = false;
    for (const H264NalUnit& unit : units) {
        const int type = unit.type();
        if (type == static_cast<int>(H264NalType::sps)) {
            sps = unit.bytes;
        } else if (type == static_cast<int>(H264NalType::pps)) {
            pps = unit.bytes;
        }
        idr = idr || type == static_cast<int>(H264NalType::idrSlice);
        slice = slice || isSlice(type);
    }
    if (!sps.empty()) {
        lastSeen.sps.assign(sps.begin(), sps.end());
    }
    if (!pps.empty()) {
        lastSeen.pps.assign(pps.begin(), pps.end());
    }
    if (!slice || (idr && (lastSeen.sps.empty() || lastSeen.pps.empty()))) {
        return std::nullopt;
    }
    AnnexBAccessUnit unit{{}, idr};
    unit.bytes.reserve(packet.size() + lastSeen.sps.size() + lastSeen.pps.size() + reserveBytes);
    if (idr) {
        appendUnit(unit.bytes, lastSeen.sps);
        appendUnit(unit.bytes, lastSeen.pps);
    }
    for (const H264NalUnit& nal : units) {
        const int type = nal.type();
        if (type != static_cast<int>(H264NalType::sps) &&
            type != static_cast<int>(H264NalType::pps)) {
            appendUnit(unit.bytes, nal.bytes);
        }
    }
    return unit;
}

}  // namespace quillory
