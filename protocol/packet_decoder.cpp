#include "protocol/packet_decoder.h"

#include <cstring>

namespace quillory {

std::optional<SessionPacket> PacketDecoder::decodeLine(std::string_view line,
                                                       ProtocolError& error) {
    error = ProtocolError::invalidFrame;
    const auto json = parseJSON(line);
    if (!json || !json->is_object()) {
        return std::nullopt;
    }
    const auto version = json->find("version");
    if (version != json->end() && version->is_number_integer() &&
        !(version->is_number_unsigned() && version->get<std::uint64_t>() == protocolVersion)) {
        error = ProtocolError::unsupportedVersion;
        return std::nullopt;
    }
    return SessionPacket::fromJSON(*json);
}

PacketDecoder::Result PacketDecoder::fail(Result result, ProtocolError error) {
    error_ = error;
    buffer_.clear();
    buffer_.shrink_to_fit();
    result.error = error;
    return result;
}

PacketDecoder::Result PacketDecoder::append(ByteView bytes) {
    Result result;
    if (error_) {
        result.error = error_;
        return result;
    }
    const char* next = reinterpret_cast<const char*>(bytes.data());
    const char* const end = next + bytes.size();
    while (next != end) {
        const auto* newline =
            static_cast<const char*>(std::memchr(next, '\n', static_cast<std::size_t>(end - next)));
        const char* const segmentEnd = newline != nullptr ? newline : end;
        const auto segment = static_cast<std::size_t>(segmentEnd - next);
        if (buffer_.size() + segment > SessionPacket::maxLineBytes) {
            lineTooLong_ = true;
            return fail(std::move(result), ProtocolError::invalidFrame);
        }
        if (newline == nullptr) {
            buffer_.append(next, segment);
            break;
        }
        std::string_view line(next, segment);
        if (!buffer_.empty()) {
            buffer_.append(next, segment);
            line = buffer_;
        }
        ProtocolError error = ProtocolError::invalidFrame;
        auto packet = decodeLine(line, error);
        buffer_.clear();
        if (!packet) {
            return fail(std::move(result), error);
        }
        result.packets.push_back(std::move(*packet));
        next = newline + 1;
    }
    return result;
}

}  // namespace quillory
