#include <gtest/gtest.h>

#include <locale>

#include "protocol/base64.h"
#include "protocol/connection_end.h"
#include "protocol/link_latency.h"
#include "protocol/reconnect_delay.h"
#include "protocol/remembered_device.h"
#include "protocol/session_hello.h"

namespace quillory {
namespace {

TEST(ConnectionEnd, MessagesAndEquality) {
    using Case = ConnectionEnd::Case;
    EXPECT_EQ(ConnectionEnd(Case::interrupted).message(),
              "Connection interrupted. Reconnecting\u2026");
    EXPECT_EQ(ConnectionEnd(Case::stopped).message(), "Disconnected");
    EXPECT_EQ(
        ConnectionEnd(Case::identityChanged).message(),
        "This computer has a different identity. Forget its saved pairing, then connect again.");
    EXPECT_EQ(ConnectionEnd(Case::verification).message(),
              "The apps couldn\u2019t verify this connection. Make sure both devices have the same "
              "Quillory version.");
    EXPECT_EQ(ConnectionEnd(Case::trustRequired).message(), "Pair this device again to connect.");
    EXPECT_EQ(ConnectionEnd(Case::storage).message(),
              "Quillory couldn\u2019t save device access. Unlock your device and try again.");
    EXPECT_EQ(ConnectionEnd(Case::incompatible).message(),
              "Update Quillory on both devices to connect.");

    const auto expired = ConnectionEnd::failure("Pairing expired. Select your Mac to try again.");
    EXPECT_EQ(expired.message(), "Pairing expired. Select your Mac to try again.");
    EXPECT_EQ(expired.caseName(), "failure(Pairing expired. Select your Mac to try again.)");
    EXPECT_EQ(expired, ConnectionEnd::failure("Pairing expired. Select your Mac to try again."));
    EXPECT_NE(expired, ConnectionEnd::failure("Other"));
    EXPECT_NE(ConnectionEnd::failure(""), ConnectionEnd(Case::stopped));

    EXPECT_TRUE(ConnectionEnd(Case::interrupted).isInterrupted());
    EXPECT_FALSE(ConnectionEnd(Case::stopped).isInterrupted());
    EXPECT_FALSE(
        ConnectionEnd::failure("Connection interrupted. Reconnecting\u2026").isInterrupted());
}

struct GroupedNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(LinkLatency, StatusTexts) {
    const std::locale classic = std::locale::classic();
    EXPECT_EQ(LinkLatency::measured(12.34).statusText(classic), "12.3 ms");
    EXPECT_EQ(LinkLatency::measured(0.05).statusText(classic), "0.1 ms");
    EXPECT_EQ(LinkLatency::measured(7).statusText(classic), "7.0 ms");
    const std::locale german(classic, new GroupedNumbers);
    EXPECT_EQ(LinkLatency::measured(1234.56).statusText(german), "1.234,6 ms");
    EXPECT_EQ(LinkLatency::measuring().statusText(), "Measuring\u2026");
    EXPECT_EQ(LinkLatency::timedOut().statusText(), "No reply");
    EXPECT_EQ(LinkLatency::unsupported().statusText(), "Update companion");
    EXPECT_NE(LinkLatency::measured(1), LinkLatency::measured(2));
    EXPECT_EQ(LinkLatency::measuring(), LinkLatency::measuring());
}

TEST(ReconnectDelay, Table) {
    EXPECT_EQ(reconnectDelay(0), 0.5);
    EXPECT_EQ(reconnectDelay(1), 1.0);
    EXPECT_EQ(reconnectDelay(2), 2.0);
    EXPECT_EQ(reconnectDelay(3), 4.0);
    EXPECT_EQ(reconnectDelay(4), 8.0);
    EXPECT_EQ(reconnectDelay(5), 8.0);
    EXPECT_EQ(reconnectDelay(static_cast<std::size_t>(-1)), 8.0);
}

TEST(SessionHello, SenderCleansItsName) {
    EXPECT_EQ(SessionHello::cleanedName("  Studio\tPC\n", SessionRole::mac), "Studio PC");
    EXPECT_EQ(SessionHello::cleanedName("\u200B\u200B", SessionRole::mac), "Mac");
    EXPECT_EQ(SessionHello::cleanedName("", SessionRole::pad), "iPad");
    const std::string longName = std::string(127, 'x') + "\u00E9tude";
    const std::string cleaned = SessionHello::cleanedName(longName, SessionRole::mac);
    EXPECT_EQ(cleaned, std::string(127, 'x'));
    SessionHello hello{
        .role = SessionRole::pad,
        .name = SessionHello::cleanedName(std::string(300, '\x01') + "Pad", SessionRole::pad),
        .identity = Bytes(32),
        .ephemeral = Bytes(32),
        .nonce = Bytes(32),
        .signature = Bytes(64)};
    EXPECT_EQ(hello.name, "Pad");
    EXPECT_TRUE(hello.isValid(SessionRole::mac));
}

TEST(RememberedDevice, IdIsTheHexDigestOfThePublicKey) {
    // The pad identity of the handshake reference vector and its device key.
    const RememberedDevice device{
        .publicKey = *base64Decode("gTl3Dqh9F19Wo1Rmw0x+zMuNipG07jeiXfYPW4/Js5Q="),
        .name = "Test iPad"};
    EXPECT_EQ(device.id(), "6a3803d5f059902a1c6dafbc9ba4729212f7caac08634cc3ae76b27529f03827");
    EXPECT_EQ(dumpJSON(device.toJSON()),
              R"({"publicKey":"gTl3Dqh9F19Wo1Rmw0x+zMuNipG07jeiXfYPW4/Js5Q=","name":"Test iPad"})");
    EXPECT_EQ(RememberedDevice::fromJSON(*parseJSON(dumpJSON(device.toJSON()))), device);
}

}  // namespace
}  // namespace quillory
