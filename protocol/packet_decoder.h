#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/crypto/crypto.h"
#include "protocol/protocol_error.h"
#include "protocol/session_packet.h"

namespace quillory {

// Splits the inbound byte stream into packet lines. Memory stays bounded: at most 65,535 bytes
// without a newline are kept, and the byte after that fails the stream at once. A failure is
// final; every later append reports it again.
class PacketDecoder {
  public:
    struct Result {
        // The packets of the lines completed before any failure, in order.
        std::vector<SessionPacket> packets;
        std::optional<ProtocolError> error;
    };

    Result append(ByteView bytes);

    // The stream failed because a line grew past the limit.
    bool lineTooLong() const { return lineTooLong_; }
    std::optional<ProtocolError> error() const { return error_; }
    std::size_t bufferedBytes() const { return buffer_.size(); }

    // One complete line (without its 0x0A): unsupportedVersion when "version" is an integer other
    // than 9, else invalidFrame for anything that is not a well-formed packet.
    static std::optional<SessionPacket> decodeLine(std::string_view line, ProtocolError& error);

  private:
    Result fail(Result result, ProtocolError error);

    std::string buffer_;
    std::optional<ProtocolError> error_;
    bool lineTooLong_ = false;
};

}  // namespace quillory
