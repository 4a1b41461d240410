#include "platform/webrtc/transport_feedback.h"

namespace quillory {
namespace {

constexpr std::size_t headerBytes = 8;
// Receive deltas and the reference time count in these units.
constexpr std::int64_t deltaMicroseconds = 250;
constexpr std::int64_t referenceMicroseconds = 64'000;

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

// The two-bit status of each packet (0 not received, 1 small delta, 2 large delta) and where
// the receive deltas begin; empty when the chunks do not cover the count.
std::vector<std::uint8_t> statuses(std::span<const std::uint8_t> fci, std::size_t count,
                                   std::size_t& deltasAt) {
    std::vector<std::uint8_t> symbols;
    symbols.reserve(count);
    std::size_t at = headerBytes;
    for (; symbols.size() < count; at += 2) {
        if (at + 2 > fci.size()) {
            return {};
        }
        const std::uint16_t chunk = read16(fci, at);
        if ((chunk & 0x8000) == 0) {
            // Run length: one two-bit symbol repeated.
            const auto symbol = static_cast<std::uint8_t>((chunk >> 13) & 0x3);
            const std::size_t run = chunk & 0x1fff;
            for (std::size_t index = 0; index < run && symbols.size() < count; ++index) {
                symbols.push_back(symbol);
            }
        } else if ((chunk & 0x4000) == 0) {
            // Status vector of fourteen one-bit symbols.
            for (int bit = 13; bit >= 0 && symbols.size() < count; --bit) {
                symbols.push_back(static_cast<std::uint8_t>((chunk >> bit) & 0x1));
            }
        } else {
            // Status vector of seven two-bit symbols.
            for (int symbol = 6; symbol >= 0 && symbols.size() < count; --symbol) {
                symbols.push_back(static_cast<std::uint8_t>((chunk >> (symbol * 2)) & 0x3));
            }
        }
    }
    deltasAt = at;
    return symbols;
}

}  // namespace

std::optional<TransportFeedback> parseTransportFeedback(std::span<const std::uint8_t> fci) {
    if (fci.size() < headerBytes) {
        return std::nullopt;
    }
    const std::size_t count = read16(fci, 2);
    std::size_t deltasAt = 0;
    const std::vector<std::uint8_t> symbols = statuses(fci, count, deltasAt);
    if (count == 0 || symbols.empty()) {
        return std::nullopt;
    }
    TransportFeedback feedback{.baseSequence = read16(fci, 0), .packetCount = count};
    std::size_t deltaBytes = 0;
    bool reserved = false;
    for (const std::uint8_t symbol : symbols) {
        deltaBytes += symbol;
        reserved = reserved || symbol == 3;
    }
    // The reserved symbol leaves where the deltas lie unknown.
    const bool timed = !reserved && deltasAt + deltaBytes <= fci.size();
    // Twenty-four bits, signed.
    std::int32_t reference = fci[4] << 16 | fci[5] << 8 | fci[6];
    if ((reference & 0x800000) != 0) {
        reference -= 0x1000000;
    }
    std::int64_t arrival = reference * referenceMicroseconds;
    std::size_t at = deltasAt;
    for (std::size_t index = 0; index < symbols.size(); ++index) {
        if (symbols[index] == 0) {
            continue;
        }
        TransportFeedback::Packet packet{
            .sequence = static_cast<std::uint16_t>(feedback.baseSequence + index)};
        if (timed) {
            if (symbols[index] == 1) {
                arrival += fci[at] * deltaMicroseconds;
                at += 1;
            } else {
                arrival += static_cast<std::int16_t>(read16(fci, at)) * deltaMicroseconds;
                at += 2;
            }
            packet.arrivalMicroseconds = arrival;
        }
        feedback.received.push_back(packet);
    }
    return feedback;
}

std::int64_t unwrapSequence(std::uint16_t sequence, std::int64_t near) {
    return near + static_cast<std::int16_t>(
                      static_cast<std::uint16_t>(sequence - static_cast<std::uint16_t>(near)));
}

}  // namespace quillory
