#include "protocol/packet_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/session_payload.h"

namespace quillory {
namespace {

PacketDecoder::Result feed(PacketDecoder& decoder, std::string_view text) {
    return decoder.append(asBytes(text));
}

std::string line(SessionPacket::Kind kind, Bytes data) {
    return SessionPacket{kind, std::move(data)}.encodeLine();
}

// A line of exactly `size` JSON bytes: a sealed packet padded through its base64 data.
std::string lineOfSize(std::size_t size) {
    constexpr std::size_t kEnvelope = 39;  // {"version":9,"kind":"sealed","data":""}
    std::string text = R"({"version":9,"kind":"sealed","data":")" +
                       std::string((size - kEnvelope) / 4 * 4, 'A') + "\"}";
    // Whitespace between tokens makes up the rest without changing the packet.
    text.insert(1, size - text.size(), ' ');
    return text;
}

TEST(PacketDecoder, SplitsLinesAcrossChunks) {
    const std::string stream = line(SessionPacket::Kind::commit, Bytes(32, 7)) +
                               line(SessionPacket::Kind::hello, Bytes{'{', '}'}) +
                               line(SessionPacket::Kind::sealed, Bytes{});
    EXPECT_EQ(stream.substr(0, 41), R"({"version":9,"kind":"commit","data":"BwcH)");

    // Every split point, and byte by byte.
    for (std::size_t split = 0; split <= stream.size(); ++split) {
        PacketDecoder decoder;
        auto first = feed(decoder, std::string_view(stream).substr(0, split));
        auto second = feed(decoder, std::string_view(stream).substr(split));
        ASSERT_FALSE(first.error || second.error) << split;
        first.packets.insert(first.packets.end(), second.packets.begin(), second.packets.end());
        ASSERT_EQ(first.packets.size(), 3U) << split;
        EXPECT_EQ(first.packets[0].data, Bytes(32, 7));
        EXPECT_EQ(first.packets[1].kind, SessionPacket::Kind::hello);
        EXPECT_TRUE(first.packets[2].data.empty());
        EXPECT_EQ(decoder.bufferedBytes(), 0U);
    }
    PacketDecoder decoder;
    std::size_t packets = 0;
    for (const char byte : stream) {
        packets += feed(decoder, std::string_view(&byte, 1)).packets.size();
    }
    EXPECT_EQ(packets, 3U);
}

TEST(PacketDecoder, LineLimitHoldsAcrossChunkBoundaries) {
    const std::string longest = lineOfSize(SessionPacket::kMaxLineBytes);
    ASSERT_EQ(longest.size(), 65'535U);
    for (const std::size_t chunk : {std::size_t{1} << 16, std::size_t{4096}, std::size_t{65'535}}) {
        PacketDecoder decoder;
        const std::string stream = longest + "\n";
        std::size_t packets = 0;
        for (std::size_t offset = 0; offset < stream.size(); offset += chunk) {
            const auto result = feed(decoder, std::string_view(stream).substr(offset, chunk));
            ASSERT_FALSE(result.error);
            packets += result.packets.size();
        }
        EXPECT_EQ(packets, 1U);
    }

    // One byte more fails as soon as it arrives, with no newline in sight.
    for (const std::size_t chunk : {std::size_t{1} << 16, std::size_t{4096}, std::size_t{1}}) {
        PacketDecoder decoder;
        const std::string tooLong = lineOfSize(SessionPacket::kMaxLineBytes + 1);
        std::optional<ProtocolError> error;
        std::size_t offset = 0;
        for (; offset < tooLong.size() && !error; offset += chunk) {
            error = feed(decoder, std::string_view(tooLong).substr(offset, chunk)).error;
            EXPECT_LE(decoder.bufferedBytes(), SessionPacket::kMaxLineBytes);
        }
        EXPECT_EQ(error, ProtocolError::invalidFrame);
        EXPECT_EQ(std::min(offset, tooLong.size()), tooLong.size()) << chunk;
        EXPECT_TRUE(decoder.lineTooLong());
        // The failure is final.
        EXPECT_EQ(feed(decoder, line(SessionPacket::Kind::commit, {})).error,
                  ProtocolError::invalidFrame);
    }

    // Also when the over-long line ends within the same chunk, after complete lines.
    PacketDecoder decoder;
    const auto result = feed(decoder, line(SessionPacket::Kind::commit, {}) +
                                          lineOfSize(SessionPacket::kMaxLineBytes + 1) + "\n");
    EXPECT_EQ(result.packets.size(), 1U);
    EXPECT_EQ(result.error, ProtocolError::invalidFrame);
    EXPECT_TRUE(decoder.lineTooLong());
}

TEST(PacketDecoder, ErrorTable) {
    const std::pair<const char*, ProtocolError> table[] = {
        {"\n", ProtocolError::invalidFrame},
        {"not json\n", ProtocolError::invalidFrame},
        {"[1,2]\n", ProtocolError::invalidFrame},
        {R"({"version":9,"kind":"commit"})"
         "\n",
         ProtocolError::invalidFrame},
        {R"({"version":9,"kind":"sealed","data":7})"
         "\n",
         ProtocolError::invalidFrame},
        {R"({"version":9,"kind":"opened","data":""})"
         "\n",
         ProtocolError::invalidFrame},
        {R"({"version":9,"kind":"sealed","data":"abc"})"
         "\n",
         ProtocolError::invalidFrame},
        {R"({"version":"9","kind":"sealed","data":""})"
         "\n",
         ProtocolError::invalidFrame},
        {R"({"version":9.0,"kind":"sealed","data":""})"
         "\n",
         ProtocolError::invalidFrame},
        {R"({"kind":"sealed","data":""})"
         "\n",
         ProtocolError::invalidFrame},
        // A newer peer is told apart from a broken one, even when the rest differs.
        {R"({"version":10,"kind":"sealed","data":""})"
         "\n",
         ProtocolError::unsupportedVersion},
        {R"({"data":1,"version":8})"
         "\n",
         ProtocolError::unsupportedVersion},
        {R"({"version":-9})"
         "\n",
         ProtocolError::unsupportedVersion},
    };
    for (const auto& [text, expected] : table) {
        PacketDecoder decoder;
        const auto result = feed(decoder, text);
        EXPECT_EQ(result.error, expected) << text;
        EXPECT_TRUE(result.packets.empty());
        EXPECT_FALSE(decoder.lineTooLong());
    }

    PacketDecoder decoder;
    const auto reordered =
        feed(decoder, R"({"data":"AQID","extra":[null],"kind":"hello","version":9})"
                      "\n");
    ASSERT_EQ(reordered.packets.size(), 1U);
    EXPECT_EQ(reordered.packets[0].data, (Bytes{1, 2, 3}));
}

TEST(PacketDecoder, LargestThumbnailFitsInOneLine) {
    Bytes jpeg(36'000, 0xFF);
    jpeg[1] = 0xD8;
    StudioSignal thumbnail{.id = Uuid::random(),
                           .kind = StudioSignal::Kind::thumbnail,
                           .sourceID = Uuid::random(),
                           .thumbnail = jpeg};
    SessionPayload payload{.kind = SessionPayload::Kind::studio,
                           .counter = std::numeric_limits<std::uint64_t>::max(),
                           .studio = thumbnail};
    ASSERT_TRUE(payload.isValid());
    const std::string plaintext = payload.encode();
    EXPECT_LE(plaintext.size(), 49'106U);

    // A sealed record carries the plaintext plus its 16-byte tag.
    Bytes sealed(plaintext.begin(), plaintext.end());
    sealed.resize(sealed.size() + 16);
    const std::string packet = line(SessionPacket::Kind::sealed, sealed);
    EXPECT_LE(packet.size() - 1, SessionPacket::kMaxLineBytes);

    PacketDecoder decoder;
    const auto result = feed(decoder, packet);
    ASSERT_EQ(result.packets.size(), 1U);
    const Bytes& opened = result.packets[0].data;
    const auto decoded = SessionPayload::decode(
        std::string_view(reinterpret_cast<const char*>(opened.data()), opened.size() - 16));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, payload);
}

}  // namespace
}  // namespace quillory
