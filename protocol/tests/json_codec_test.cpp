#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "protocol/base64.h"
#include "protocol/session_hello.h"
#include "protocol/session_payload.h"

namespace quillory {
namespace {

const Uuid kContext = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

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

std::string sampleJSON(std::string_view replaced, std::string_view with) {
    std::string text =
        R"({"sequence":3,"phase":"moved","x":0.25,"y":0.5,"pressure":0.75,"altitude":1,)"
        R"("azimuth":-0.5,"timestamp":12.5})";
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

    payload.samples->front().studioID = kContext;
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

TEST(JsonCodec, AcceptsAnyKeyOrderAndIgnoresUnknownKeys) {
    const auto decoded = decodeSample(
        R"({"timestamp":12.5,"future":[1,{"a":null}],"azimuth":-0.5,"altitude":1,"pressure":0.75,)"
        R"("y":0.5,"x":0.25,"phase":"moved","sequence":3,)"
        R"("studioID":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"})");
    ASSERT_TRUE(decoded);
    PenSample expected = sample(3);
    expected.studioID = kContext;
    EXPECT_EQ(*decoded, expected);
}

TEST(JsonCodec, RejectsWrongTypesMissingFieldsAndUnknownValues) {
    ASSERT_TRUE(decodeSample(sampleJSON("", "")));
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
        {R"("timestamp":12.5})", R"("timestamp":12.5,"studioID":"E621E1F8"})"},  // bad UUID
        {R"("timestamp":12.5})", R"("timestamp":12.5,"studioID":null})"},
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
    EXPECT_FALSE(SessionPayload::decode(R"({"kind":"input","counter":1})"));
    EXPECT_FALSE(SessionPayload::decode(R"({"kind":"ping","counter":1})"));
    EXPECT_FALSE(SessionPayload::decode(R"({"kind":"wave","counter":1})"));
    EXPECT_FALSE(SessionPayload::decode(R"({"kind":"known"})"));
    EXPECT_FALSE(SessionPayload::decode(R"({"kind":"known","counter":1)"));

    const auto empty = SessionPayload::decode(R"({"kind":"input","counter":1,"samples":[]})");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isValid());

    const auto pong = SessionPayload::decode(R"({"kind":"pong","counter":2})");
    ASSERT_TRUE(pong);
    EXPECT_TRUE(pong->isValid());

    // A field of another kind decodes but makes the payload invalid: dropped, the link stays up.
    const auto foreign = SessionPayload::decode(
        R"({"kind":"known","counter":0,"probe":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"})");
    ASSERT_TRUE(foreign);
    EXPECT_FALSE(foreign->isValid());

    SessionPayload tooMany{.kind = SessionPayload::Kind::input, .counter = 3};
    tooMany.samples.emplace(SessionPayload::kMaxSamples, sample(1));
    EXPECT_TRUE(tooMany.isValid());
    tooMany.samples->push_back(sample(2));
    EXPECT_FALSE(tooMany.isValid());
    EXPECT_TRUE(SessionPayload::decode(tooMany.encode()));
}

TEST(JsonCodec, DeeplyNestedFeedbackIsRefusedWhole) {
    // An opaque report nested deep enough to exhaust the stack is turned away.
    const std::string deep =
        R"({"kind":"studio","counter":1,"studio":{"id":"01000000-0000-0000-0000-)"
        R"(000000000000","kind":"feedback","feedback":{"a":)" +
        std::string(30'000, '[') + std::string(30'000, ']') + "}}}";
    EXPECT_FALSE(SessionPayload::decode(deep));
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
    EXPECT_NE(random, Uuid::random());
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

}  // namespace
}  // namespace quillory
