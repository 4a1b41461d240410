// Any bytes, read as an Annex-B stream: split, parameter sets and slice QP must never read past
// a unit's end nor give a QP outside 0 to 51.
#include <cstdlib>

#include "platform/video/h264_bitstream_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillory;
    const ByteView stream(data, size);
    H264StreamReader reader;
    for (int pass = 0; pass < 2; ++pass) {
        const auto unit = reader.read(stream);
        if (unit.qp && (*unit.qp < 0 || *unit.qp > 51)) {
            std::abort();
        }
    }
    std::optional<H264Sps> sps;
    std::optional<H264Pps> pps;
    for (const H264NalUnit& unit : splitAnnexB(stream)) {
        // Each unit on its own, in an exact-sized copy, so an over-read shows.
        const Bytes copy(unit.bytes.begin(), unit.bytes.end());
        const H264NalUnit alone{copy};
        if (auto parsed = parseH264Sps(alone)) {
            if (parsed->width <= 0 || parsed->height <= 0) {
                std::abort();
            }
            sps = parsed;
        } else if (auto parsedPps = parseH264Pps(alone)) {
            pps = parsedPps;
        } else if (sps && pps) {
            const auto qp = parseH264SliceQp(alone, *sps, *pps);
            if (qp && (*qp < 0 || *qp > 51)) {
                std::abort();
            }
        }
    }
    return 0;
}
