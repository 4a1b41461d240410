#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "protocol/base64.h"
#include "protocol/packet_decoder.h"
#include "protocol/session_hello.h"
#include "protocol/session_payload.h"

namespace quillory {
namespace {

const Uuid studioContext = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

PenSample sample(std::uint64_t sequence) {
    return {.sequence = sequence,
            .phase = PenSample::Phase::moved,
            .x = 0.25,
            .y = 0.5,
            .pressure = 0.75,
            .altitude = 1.0,
            .azimuth = -0.5,
            .timestamp = 12.5};
}

// Any key order, unknown keys and lower-case UUIDs are accepted.
std::string sampleJSON(std::string_view replaced, std::string_view with) {
    std::string text =
        R"({"timestamp":12.5,"future":[1,{"a":null}],"azimuth":-0.5,"altitude":1,"pressure":0.75,)"
        R"("y":0.5,"x":0.25,"phase":"moved","sequence":3,)"
        R"("studioID":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"})";
    if (!replaced.empty()) {
        text.replace(text.find(replaced), replaced.size(), with);
    }
    return text;
}

std::optional<PenSample> decodeSample(const std::string& text) {
    const auto json = parseJSON(text);
    return json ? PenSample::fromJSON(*json) : std::nullopt;
}

TEST(JsonCodec, EmitsFieldOrderAndLeavesAbsentOptionalsOut) {
    SessionPayload payload{
        .kind = SessionPayload::Kind::input, .counter = 7, .samples = {{sample(3)}}};
    EXPECT_EQ(payload.encode(),
              R"({"kind":"input","counter":7,"samples":[{"sequence":3,"phase":"moved","x":0.25,)"
              R"("y":0.5,"pressure":0.75,"altitude":1.0,"azimuth":-0.5,"timestamp":12.5}]})");

    payload.samples->front().studioID = studioContext;
    EXPECT_NE(payload.encode().find(R"("studioID":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F")"),
              std::string::npos);
    EXPECT_EQ(SessionPayload::decode(payload.encode()), payload);
}

TEST(JsonCodec, HelloMatchesTheReferenceText) {
    const char* expected =
        R"({"role":"pad","name":"Test iPad","identity":"gTl3Dqh9F19Wo1Rmw0x+zMuNipG07jeiXfYPW4/Js5Q=",)"
        R"("ephemeral":"BSpQdzrI2Rdz8tyWYuEvDe/pFeQVuKHI4gpaPWqyuEM=",)"
        R"("nonce":"IiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiI=",)"
        R"("intent":"02000000-0000-0000-0000-000000000001",)"
        R"("signature":"glHHD8KkPKGQHb0yCiyzejEIQ8tE4OW4bV+F3lguaoFl0ZjF21h0neahfE7ahEEmf1SRi4KA+YdrLTuU3CjcCA=="})";
    const auto hello = SessionHello::fromJSON(*parseJSON(expected));
    ASSERT_TRUE(hello);
    EXPECT_TRUE(hello->isValid(SessionRole::mac));
    EXPECT_FALSE(hello->isValid(SessionRole::pad));
    // "/" stays unescaped, which keeps the largest messages within one line.
    EXPECT_EQ(dumpJSON(hello->toJSON()), expected);

    SessionHello shortKey = *hello;
    shortKey.identity.pop_back();
    EXPECT_FALSE(shortKey.isValid(SessionRole::mac));
}

TEST(JsonCodec, RejectsWrongTypesMissingFieldsAndUnknownValues) {
    PenSample expected = sample(3);
    expected.studioID = studioContext;
    EXPECT_EQ(decodeSample(sampleJSON("", "")), expected);
    const std::pair<std::string_view, std::string_view> broken[] = {
        {R"("sequence":3,)", ""},                                   // missing
        {R"("phase":"moved")", R"("phase":"drag")"},                // unknown enumeration value
        {R"("phase":"moved")", R"("phase":"Moved")"},               // raw values match exactly
        {R"("x":0.25)", R"("x":"0.25")"},                           // number as text
        {R"("x":0.25)", R"("x":null)"},                             // null is not absent
        {R"("sequence":3)", R"("sequence":-3)"},                    // negative sequence
        {R"("sequence":3)", R"("sequence":3.5)"},                   // fraction
        {R"("sequence":3)", R"("sequence":18446744073709551616)"},  // 2^64
        {R"("timestamp":12.5)", R"("timestamp":1e400)"},            // not finite
        {R"("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")", R"("E621E1F8")"},  // bad UUID
        {R"("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")", "null"},
    };
    for (const auto& [replaced, with] : broken) {
        EXPECT_FALSE(decodeSample(sampleJSON(replaced, with))) << with;
    }
    EXPECT_EQ(
        decodeSample(sampleJSON(R"("sequence":3)", R"("sequence":18446744073709551615)"))->sequence,
        std::numeric_limits<std::uint64_t>::max());
    EXPECT_FALSE(decodeSample("[]"));
}

TEST(JsonCodec, PayloadNeedsItsKindsFieldsAndNoOthers) {
    for (const char* text : {R"({"kind":"input","counter":1})", R"({"kind":"ping","counter":1})",
                             R"({"kind":"wave","counter":1})", R"({"kind":"known"})"}) {
        EXPECT_FALSE(SessionPayload::decode(text)) << text;
    }
    for (const char* text :
         {R"({"kind":"input","counter":1,"samples":[]})", R"({"kind":"pong","counter":2})"}) {
        const auto payload = SessionPayload::decode(text);
        EXPECT_TRUE(payload && payload->isValid()) << text;
    }

    // A field of another kind decodes but makes the payload invalid: dropped, the link stays up.
    const auto foreign = SessionPayload::decode(
        R"({"kind":"known","counter":0,"probe":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"})");
    ASSERT_TRUE(foreign);
    EXPECT_FALSE(foreign->isValid());

    SessionPayload tooMany{.kind = SessionPayload::Kind::input, .counter = 3};
    tooMany.samples.emplace(SessionPayload::maxSamples, sample(1));
    EXPECT_TRUE(tooMany.isValid());
    tooMany.samples->push_back(sample(2));
    EXPECT_FALSE(tooMany.isValid());
    EXPECT_TRUE(SessionPayload::decode(tooMany.encode()));
}

TEST(JsonCodec, UuidTextRules) {
    const auto upper = Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    ASSERT_TRUE(upper);
    EXPECT_EQ(Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), upper);
    EXPECT_EQ(upper->text(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    for (const char* bad :
         {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
          "E621E1F8-C36C-495A-93FC-0C247A3E6E5G", "E621E1F8-C36C-495A-93FC0-C247A3E6E5F",
          "E621E1F8-C36C-495A-93FC-0C247A3E6E5F "}) {
        EXPECT_FALSE(Uuid::parse(bad)) << bad;
    }
    const Uuid random = Uuid::random();
    EXPECT_EQ(random.bytes()[6] >> 4, 4);
    EXPECT_EQ(random.bytes()[8] >> 6, 2);
    EXPECT_EQ(Uuid::parse(random.text()), random);
}

TEST(JsonCodec, Base64IsStrict) {
    const Bytes bytes{0xFB, 0xFF, 0x00, 0x41};
    EXPECT_EQ(base64Encode(bytes), "+/8AQQ==");
    EXPECT_EQ(base64Decode("+/8AQQ=="), bytes);
    EXPECT_EQ(base64Decode(""), Bytes{});
    EXPECT_EQ(base64Decode("QUJD"), (Bytes{'A', 'B', 'C'}));
    for (const char* bad :
         {"+/8AQQ=", "+/8AQQ", "+/8A\nQQ==", "+/8A QQ=", "QQ==QUJD", "Q===", "-_8A", "QUJD="}) {
        EXPECT_FALSE(base64Decode(bad)) << bad;
    }
}

TEST(JsonParser, BuildsTheSameDocumentAsTheLibrary) {
    const char* texts[] = {
        R"({"a":[1,-0,1.5e-3,0.1,2E+2,-12.75e-1,18446744073709551615],"b":{"c":null},"d":true})",
        R"( [ "Grüße", "\u00e9\ud83d\udd8a", "\"\\\/\b\f\n\r\t" , {} , [] ] )",
        R"(18446744073709551616)",  // past 64 bits: a double
        R"(-9223372036854775809)",
        R"(1e-400)",  // underflow rounds to zero
        R"("\u0000")",
    };
    for (const char* text : texts) {
        const auto ours = parseJSON(text);
        ASSERT_TRUE(ours) << text;
        EXPECT_EQ(*ours, Json::parse(text)) << text;
    }
    EXPECT_TRUE(parseJSON("7")->is_number_unsigned());
    EXPECT_TRUE(parseJSON("-7")->is_number_integer());
    EXPECT_TRUE(parseJSON("7.0")->is_number_float());
}

TEST(JsonParser, RepeatedKeysKeepFirstPlaceAndLastValue) {
    EXPECT_EQ(dumpJSON(*parseJSON(R"({"a":1,"b":2,"a":3})")), R"({"a":3,"b":2})");
    // Also in objects large enough to be indexed.
    std::string text = "{";
    for (int key = 0; key < 100; ++key) {
        text += "\"k" + std::to_string(key) + "\":" + std::to_string(key) + ",";
    }
    text += R"("k5":"again"})";
    const auto large = parseJSON(text);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->size(), 100U);
    EXPECT_EQ((*large)["k5"], "again");
    EXPECT_EQ(large->begin().key(), "k0");
}

TEST(JsonParser, RefusesWhatIsNotJSON) {
    using Texts = std::vector<const char*>;
    for (const Texts& texts :
         {Texts{"",       " ",   "{",        "[1,]", "{\"a\":1,}", "{\"a\" 1}", "{a:1}", "[1] x",
                "01",     "-",   "1.",       ".5",   "1e",         "+1",        "0x10",  "1e400",
                "-1e400", "NaN", "Infinity", "tru",  "nul",        "'a'"},
          Texts{"\"a", "\"\\x\"", "\"\\u12\"", "\"\\uDC00\"", "\"\\uD800\"", "\"\\uD800\\u0041\"",
                "\"tab\there\"", "\"\xC3\"", "\"\xC0\xAF\"", "\"\xED\xA0\x80\"",
                "\xEF\xBB\xBF{}"}}) {
        for (const char* text : texts) {
            EXPECT_FALSE(parseJSON(text)) << text;
        }
    }
}

TEST(JsonParser, RefusesDeepNesting) {
    const auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + R"("[{\"")" + std::string(depth, ']');
    };
    EXPECT_TRUE(parseJSON(nested(maxJSONDepth)));
    EXPECT_FALSE(parseJSON(nested(maxJSONDepth + 1)));
    EXPECT_FALSE(parseJSON(nested(100'000)));
}

PacketDecoder::Result feed(PacketDecoder& decoder, std::string_view text) {
    return decoder.append(asBytes(text));
}

std::string line(SessionPacket::Kind kind, Bytes data) {
    return SessionPacket{kind, std::move(data)}.encodeLine();
}

// A line of exactly `size` JSON bytes: a sealed packet padded through its base64 data.
std::string lineOfSize(std::size_t size) {
    constexpr std::size_t envelope = 39;  // {"version":9,"kind":"sealed","data":""}
    std::string text = R"({"version":9,"kind":"sealed","data":")" +
                       std::string((size - envelope) / 4 * 4, 'A') + "\"}";
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
    const std::string longest = lineOfSize(SessionPacket::maxLineBytes);
    ASSERT_EQ(longest.size(), 65'535U);
    // The longest line passes; one byte more fails as soon as it arrives, with no newline in sight.
    const std::string stream = longest + "\n" + lineOfSize(SessionPacket::maxLineBytes + 1);
    for (const std::size_t chunk :
         {std::size_t{1}, std::size_t{4096}, std::size_t{65'535}, std::size_t{1} << 16}) {
        PacketDecoder decoder;
        std::size_t packets = 0;
        std::optional<ProtocolError> error;
        std::size_t offset = 0;
        for (; offset < stream.size() && !error; offset += chunk) {
            const auto result = feed(decoder, std::string_view(stream).substr(offset, chunk));
            packets += result.packets.size();
            error = result.error;
            EXPECT_LE(decoder.bufferedBytes(), SessionPacket::maxLineBytes);
        }
        EXPECT_EQ(packets, 1U) << chunk;
        EXPECT_EQ(error, ProtocolError::invalidFrame) << chunk;
        EXPECT_GE(offset, stream.size()) << chunk;
        EXPECT_TRUE(decoder.lineTooLong());
        // The failure is final.
        EXPECT_EQ(feed(decoder, line(SessionPacket::Kind::commit, {})).error,
                  ProtocolError::invalidFrame);
    }

    // Also when the over-long line ends within the same chunk, after complete lines.
    PacketDecoder decoder;
    const auto result = feed(decoder, line(SessionPacket::Kind::commit, {}) +
                                          lineOfSize(SessionPacket::maxLineBytes + 1) + "\n");
    EXPECT_EQ(result.packets.size(), 1U);
    EXPECT_EQ(result.error, ProtocolError::invalidFrame);
    EXPECT_TRUE(decoder.lineTooLong());
}

TEST(PacketDecoder, ErrorTable) {
    const auto errorOf = [](const char* text) {
        PacketDecoder decoder;
        const auto result = feed(decoder, std::string(text) + "\n");
        EXPECT_TRUE(result.packets.empty());
        EXPECT_FALSE(decoder.lineTooLong());
        return result.error;
    };
    for (const char* text :
         {"", "not json", "[1,2]", R"({"version":9,"kind":"commit"})",
          R"({"version":9,"kind":"sealed","data":7})", R"({"version":9,"kind":"opened","data":""})",
          R"({"version":9,"kind":"sealed","data":"abc"})",
          R"({"version":"9","kind":"sealed","data":""})",
          R"({"version":9.0,"kind":"sealed","data":""})", R"({"kind":"sealed","data":""})"}) {
        EXPECT_EQ(errorOf(text), ProtocolError::invalidFrame) << text;
    }
    // A newer peer is told apart from a broken one, even when the rest differs.
    for (const char* text : {R"({"version":10,"kind":"sealed","data":""})",
                             R"({"data":1,"version":8})", R"({"version":-9})"}) {
        EXPECT_EQ(errorOf(text), ProtocolError::unsupportedVersion) << text;
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
    EXPECT_LE(packet.size() - 1, SessionPacket::maxLineBytes);

    PacketDecoder decoder;
    const auto result = feed(decoder, packet);
    ASSERT_EQ(result.packets.size(), 1U);
    EXPECT_EQ(result.packets[0].data, sealed);
    EXPECT_EQ(SessionPayload::decode(plaintext), payload);
}

}  // namespace
}  // namespace quillory
