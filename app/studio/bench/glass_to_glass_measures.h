#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::bench {

// The figures of a glass-to-glass run: what is measured from the test window's paint log, the
// decoded frames' barcodes and the sending process's CPU time.

// The value below which `fraction` of the samples lie, by linear interpolation between the
// nearest ranks; none for no samples.
std::optional<double> percentile(std::vector<double> samples, double fraction);

// One line of quillory-test-window's log, {"counter":N,"time":NS}; none for its other lines
// (events, acknowledgements) and for anything malformed.
struct PaintRecord {
    std::uint32_t counter = 0;
    std::int64_t timeNanoseconds = 0;
};
std::optional<PaintRecord> parsePaintLine(std::string_view line);

// A decoded frame whose barcode was read.
struct DecodedCounter {
    std::uint32_t counter = 0;
    std::int64_t decodedAtNanoseconds = 0;
};

// Paint-to-decode delay in milliseconds for each counter's first decode. A counter the log does
// not have, or one decoded before it was painted (a clock mix-up, never a real frame), is left out.
std::vector<double> glassToGlassMilliseconds(const std::map<std::uint32_t, std::int64_t>& paintedAt,
                                             const std::vector<DecodedCounter>& decoded);

// Luma PSNR in dB of a picture against its reference, both width × height with their own
// strides; identical pictures give `identicalDecibels`.
constexpr double identicalDecibels = 100.0;
double lumaPSNR(const std::uint8_t* picture, int pictureStride, const std::uint8_t* reference,
                int referenceStride, int width, int height);

// User plus system CPU time in clock ticks from the text of /proc/<pid>/stat; none when the
// text is not such a line (the command name may hold spaces and parentheses).
std::optional<std::uint64_t> processCpuTicks(std::string_view statText);

// The capture-to-packetizer delays of encoded frames, in milliseconds: an encoded output's
// uptime minus its frame's capture time, for outputs inside [from, to) seconds of uptime. Each
// capture counts once, as an encoder may hand on an access unit per frame only.
struct EncodedOutput {
    double uptimeSeconds = 0;
    std::int64_t captureNanoseconds = 0;
};
std::vector<double> hostShareMilliseconds(const std::vector<EncodedOutput>& outputs, double from,
                                          double to);

// Where a frame's glass-to-glass time went, for each counter's first decode (milliseconds): from
// its paint to the first capture at or after it, from that capture to its access unit handed
// to RTP, and from there to the decode. A counter with no such capture, or whose access unit
// came after its decode, is left out.
struct LatencyBreakdown {
    std::vector<double> paintToCapture;
    std::vector<double> captureToPacketizer;
    std::vector<double> packetizerToDecode;
};
LatencyBreakdown latencyBreakdown(const std::map<std::uint32_t, std::int64_t>& paintedAt,
                                  const std::vector<DecodedCounter>& decoded,
                                  std::vector<EncodedOutput> outputs);

// The profile-level-id of an offer's first H.264 format, as six lower-case hexadecimal digits;
// none when no format states one.
std::optional<std::string> offeredProfileLevelId(std::string_view sdp);

}  // namespace quillory::bench
