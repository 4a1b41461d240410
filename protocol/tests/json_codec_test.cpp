#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "protocol/base64.h"
#include "protocol/session_hello.h"
#include "protocol/session_payload.h"

namespace quillory {
namespace {

Uuid uuid(std::string_view text) {
    return *Uuid::parse(text);
}

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

TEST(JsonCodec, EmitsFieldOrderAndLeavesAbsentOptionalsOut) {
    SessionPayload payload{
        .kind = SessionPayload::Kind::input, .counter = 7, .samples = {{sample(3)}}};
    EXPECT_EQ(payload.encode(),
              R"({"kind":"input","counter":7,"samples":[{"sequence":3,"phase":"moved","x":0.25,)"
              R"("y":0.5,"pressure":0.75,"altitude":1.0,"azimuth":-0.5,"timestamp":12.5}]})");

    payload.samples->front().studioID = uuid("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
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
}

}  // namespace
}  // namespace quillory
