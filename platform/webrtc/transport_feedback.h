#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillory {

// One transport-wide feedback message: which of the `packetCount` packets from `baseSequence` on
// arrived and, when the message carries them, when.
struct TransportFeedback {
    struct Packet {
        std::uint16_t sequence = 0;
        // On the receiver's clock, in microseconds; none for a packet that did not arrive, and
        // for every packet when the message carries no arrival times.
        std::optional<std::int64_t> arrivalMicroseconds;
    };
    std::uint16_t baseSequence = 0;
    std::size_t packetCount = 0;
    // In sequence order, the packets that arrived, with their times.
    std::vector<Packet> received;
};

// The 16-bit sequence number as a count that does not wrap, taken as the nearest to `near`.
std::int64_t unwrapSequence(std::uint16_t sequence, std::int64_t near);

// Reads the feedback control information of one message; none when its status chunks do not
// cover its packet count. Arrival times are read only when every one the chunks announce is
// there.
std::optional<TransportFeedback> parseTransportFeedback(std::span<const std::uint8_t> fci);

}  // namespace quillory
