// Feeds the input to one decoder in chunks whose sizes come from the input itself, and checks
// that memory stays bounded and that every packet it yields survives encoding again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocol/packet_decoder.h"

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the chunk size, so lines are split at many different points.
    const std::size_t chunk = static_cast<std::size_t>(data[0]) * 97 + 1;
    ByteView stream(data + 1, size - 1);
    PacketDecoder decoder;
    while (!stream.empty()) {
        const ByteView piece = stream.first(std::min(chunk, stream.size()));
        stream = stream.subspan(piece.size());
        const auto result = decoder.append(piece);
        if (decoder.bufferedBytes() > SessionPacket::maxLineBytes) {
            std::abort();
        }
        for (const SessionPacket& packet : result.packets) {
            ProtocolError error{};
            const std::string line = packet.encodeLine();
            const auto again =
                PacketDecoder::decodeLine(std::string_view(line).substr(0, line.size() - 1), error);
            if (!again || *again != packet) {
                std::abort();
            }
        }
        if (result.error) {
            if (!decoder.append(piece).error) {
                std::abort();  // failures are final
            }
            break;
        }
    }
    return 0;
}
