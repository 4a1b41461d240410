#include "platform/webrtc/transport_feedback_loss.h"

#include <vector>

namespace quillory {
namespace {

constexpr std::size_t headerBytes = 8;

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

// Whether each packet of the message arrived; empty when the chunks do not cover the count.
std::vector<bool> arrivals(std::span<const std::uint8_t> fci, std::size_t count) {
    std::vector<bool> arrived;
    arrived.reserve(count);
    for (std::size_t at = headerBytes; arrived.size() < count; at += 2) {
        if (at + 2 > fci.size()) {
            return {};
        }
        const std::uint16_t chunk = read16(fci, at);
        if ((chunk & 0x8000) == 0) {
            // Run length: one two-bit symbol repeated.
            const bool received = ((chunk >> 13) & 0x3) != 0;
            const std::size_t run = chunk & 0x1fff;
            for (std::size_t index = 0; index < run && arrived.size() < count; ++index) {
                arrived.push_back(received);
            }
        } else if ((chunk & 0x4000) == 0) {
            // Status vector of fourteen one-bit symbols.
            for (int bit = 13; bit >= 0 && arrived.size() < count; --bit) {
                arrived.push_back(((chunk >> bit) & 0x1) != 0);
            }
        } else {
            // Status vector of seven two-bit symbols.
            for (int symbol = 6; symbol >= 0 && arrived.size() < count; --symbol) {
                arrived.push_back(((chunk >> (symbol * 2)) & 0x3) != 0);
            }
        }
    }
    return arrived;
}

}  // namespace

bool TransportFeedbackLoss::add(std::span<const std::uint8_t> fci) {
    if (fci.size() < headerBytes) {
        return false;
    }
    const std::uint16_t base = read16(fci, 0);
    const std::size_t count = read16(fci, 2);
    if (count == 0) {
        return false;
    }
    const std::vector<bool> arrived = arrivals(fci, count);
    if (arrived.empty()) {
        return false;
    }
    std::int64_t first = base;
    if (highest_) {
        const auto offset = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(base - static_cast<std::uint16_t>(*highest_)));
        first = *highest_ + offset;
    }
    const std::int64_t last = first + static_cast<std::int64_t>(count) - 1;
    if (highest_ && last - *highest_ > largestAdvance) {
        highest_.reset();
    }
    const std::int64_t from = highest_ ? *highest_ + 1 : first;
    if (last < from) {
        return true;
    }
    covered_ += last - from + 1;
    for (std::size_t index = 0; index < arrived.size(); ++index) {
        if (first + static_cast<std::int64_t>(index) >= from && arrived[index]) {
            received_ += 1;
        }
    }
    highest_ = last;
    return true;
}

std::optional<double> TransportFeedbackLoss::takeLossPercent() {
    if (covered_ == 0) {
        return std::nullopt;
    }
    const double percent =
        100.0 * static_cast<double>(covered_ - received_) / static_cast<double>(covered_);
    covered_ = 0;
    received_ = 0;
    return percent;
}

}  // namespace quillory
