#include "app/studio/bench/glass_to_glass_measures.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <set>
#include <string>

namespace quillory::bench {

namespace {

// The integer after `"key":` in a flat JSON line.
template <class Number>
std::optional<Number> field(std::string_view line, std::string_view key) {
    const std::string quoted = "\"" + std::string(key) + "\":";
    const auto at = line.find(quoted);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const char* begin = line.data() + at + quoted.size();
    const char* end = line.data() + line.size();
    Number value{};
    const auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc{} || next == begin || (next != end && *next != ',' && *next != '}')) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<double> percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) {
        return std::nullopt;
    }
    std::sort(samples.begin(), samples.end());
    const double rank = std::clamp(fraction, 0.0, 1.0) * static_cast<double>(samples.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(rank));
    const std::size_t above = std::min(below + 1, samples.size() - 1);
    const double weight = rank - static_cast<double>(below);
    return samples[below] + (samples[above] - samples[below]) * weight;
}

std::optional<PaintRecord> parsePaintLine(std::string_view line) {
    if (line.empty() || line.front() != '{' || line.find("\"event\"") != std::string_view::npos) {
        return std::nullopt;
    }
    const auto counter = field<std::uint32_t>(line, "counter");
    const auto time = field<std::int64_t>(line, "time");
    if (!counter || !time) {
        return std::nullopt;
    }
    return PaintRecord{*counter, *time};
}

std::vector<double> glassToGlassMilliseconds(const std::map<std::uint32_t, std::int64_t>& paintedAt,
                                             const std::vector<DecodedCounter>& decoded) {
    std::vector<double> delays;
    std::set<std::uint32_t> seen;
    for (const auto& frame : decoded) {
        const auto painted = paintedAt.find(frame.counter);
        if (painted == paintedAt.end() || !seen.insert(frame.counter).second) {
            continue;
        }
        const std::int64_t delay = frame.decodedAtNanoseconds - painted->second;
        if (delay >= 0) {
            delays.push_back(static_cast<double>(delay) / 1e6);
        }
    }
    return delays;
}

double lumaPSNR(const std::uint8_t* picture, int pictureStride, const std::uint8_t* reference,
                int referenceStride, int width, int height) {
    std::uint64_t squares = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* a = picture + static_cast<std::ptrdiff_t>(y) * pictureStride;
        const std::uint8_t* b = reference + static_cast<std::ptrdiff_t>(y) * referenceStride;
        for (int x = 0; x < width; ++x) {
            const int difference = a[x] - b[x];
            squares += static_cast<std::uint64_t>(difference * difference);
        }
    }
    if (squares == 0 || width < 1 || height < 1) {
        return identicalDecibels;
    }
    const double meanSquare =
        static_cast<double>(squares) / (static_cast<double>(width) * static_cast<double>(height));
    return std::min(identicalDecibels, 10.0 * std::log10(255.0 * 255.0 / meanSquare));
}

std::optional<std::uint64_t> processCpuTicks(std::string_view statText) {
    // "pid (comm) state ppid ..." with utime and stime the 14th and 15th fields; the name ends at
    // the last parenthesis.
    const auto close = statText.rfind(')');
    if (close == std::string_view::npos || statText.find('(') > close) {
        return std::nullopt;
    }
    std::string_view rest = statText.substr(close + 1);
    std::uint64_t ticks = 0;
    // Fields after the name start with the state, field 3.
    for (int index = 3; index <= 15; ++index) {
        const auto start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            return std::nullopt;
        }
        rest.remove_prefix(start);
        const auto end = std::min(rest.find(' '), rest.size());
        if (index >= 14) {
            std::uint64_t value = 0;
            const auto [next, error] = std::from_chars(rest.data(), rest.data() + end, value);
            if (error != std::errc{} || next != rest.data() + end) {
                return std::nullopt;
            }
            ticks += value;
        }
        rest.remove_prefix(end);
    }
    return ticks;
}

std::vector<double> hostShareMilliseconds(const std::vector<EncodedOutput>& outputs, double from,
                                          double to) {
    std::vector<double> delays;
    std::set<std::int64_t> seen;
    for (const auto& output : outputs) {
        if (output.uptimeSeconds < from || output.uptimeSeconds >= to ||
            !seen.insert(output.captureNanoseconds).second) {
            continue;
        }
        delays.push_back(
            (output.uptimeSeconds - static_cast<double>(output.captureNanoseconds) / 1e9) * 1e3);
    }
    return delays;
}

LatencyBreakdown latencyBreakdown(const std::map<std::uint32_t, std::int64_t>& paintedAt,
                                  const std::vector<DecodedCounter>& decoded,
                                  std::vector<EncodedOutput> outputs) {
    std::sort(outputs.begin(), outputs.end(), [](const auto& a, const auto& b) {
        return a.captureNanoseconds < b.captureNanoseconds;
    });
    LatencyBreakdown breakdown;
    std::set<std::uint32_t> seen;
    for (const auto& frame : decoded) {
        const auto painted = paintedAt.find(frame.counter);
        if (painted == paintedAt.end() || !seen.insert(frame.counter).second) {
            continue;
        }
        const auto capture = std::lower_bound(outputs.begin(), outputs.end(), painted->second,
                                              [](const EncodedOutput& output, std::int64_t at) {
                                                  return output.captureNanoseconds < at;
                                              });
        if (capture == outputs.end()) {
            continue;
        }
        const double handedOn = capture->uptimeSeconds * 1e3;
        const double decodedAt = static_cast<double>(frame.decodedAtNanoseconds) / 1e6;
        const double captured = static_cast<double>(capture->captureNanoseconds) / 1e6;
        if (handedOn > decodedAt) {
            continue;
        }
        breakdown.paintToCapture.push_back(captured - static_cast<double>(painted->second) / 1e6);
        breakdown.captureToPacketizer.push_back(handedOn - captured);
        breakdown.packetizerToDecode.push_back(decodedAt - handedOn);
    }
    return breakdown;
}

std::optional<std::string> offeredProfileLevelId(std::string_view sdp) {
    constexpr std::string_view key = "profile-level-id=";
    for (auto at = sdp.find(key); at != std::string_view::npos; at = sdp.find(key, at + 1)) {
        const std::string_view value = sdp.substr(at + key.size(), 6);
        const bool hexadecimal =
            value.size() == 6 && std::all_of(value.begin(), value.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) != 0;
            });
        const auto end = at + key.size() + 6;
        // A longer value is no profile-level-id of three bytes.
        if (hexadecimal &&
            (end == sdp.size() || !std::isxdigit(static_cast<unsigned char>(sdp[end])))) {
            std::string lower(value);
            std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
                return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            });
            return lower;
        }
    }
    return std::nullopt;
}

}  // namespace quillory::bench
