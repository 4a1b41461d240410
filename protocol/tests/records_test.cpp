#include <gtest/gtest.h>

#include <locale>
#include <string>

#include "protocol/base64.h"
#include "protocol/connection_end.h"
#include "protocol/controls_signal.h"
#include "protocol/desktop_action.h"
#include "protocol/desktop_context.h"
#include "protocol/image_rules.h"
#include "protocol/link_latency.h"
#include "protocol/remembered_device.h"
#include "protocol/session_hello.h"
#include "protocol/studio_signal.h"
#include "protocol/testing/sample_sdp.h"
#include "protocol/text_rules.h"

namespace quillory {
namespace {

using enum DesktopKey;

Bytes png(std::uint32_t width, std::uint32_t height, std::size_t size = 64) {
    Bytes bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (const std::uint32_t side : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<std::uint8_t>(side >> shift));
        }
    }
    bytes.resize(size);
    return bytes;
}

Bytes jpeg(std::size_t size) {
    Bytes bytes(size, 0x11);
    bytes[0] = 0xFF, bytes[1] = 0xD8, bytes[2] = 0xFF;
    return bytes;
}

Bytes changed(Bytes bytes, std::size_t index, std::uint8_t value) {
    bytes[index] = value;
    return bytes;
}

// Whether `value` is still valid after `change`.
template <class T, class Change>
bool validAfter(T value, Change change) {
    change(value);
    return value.isValid();
}

Uuid id(std::uint8_t value) {
    Uuid::Bytes bytes{};
    bytes[0] = value;
    return Uuid(bytes);
}

TEST(TextRules, RefusesControlAndFormatCharactersAndCutsOnCharacters) {
    for (const char* bad : {"a\tb", "a\x7F", "a\u0085", "a\u00AD", "a\u200Bb", "\u202Eevil",
                            "\uFEFF", "tag\U000E0041", "\xC3", "\xC0\x80", "\xED\xA0\x80"}) {
        EXPECT_FALSE(isCleanText(bad)) << bad;
    }
    EXPECT_TRUE(isCleanText("emoji 🖊️ and ZWJ-free text"));

    // Cutting never splits a character.
    EXPECT_EQ(truncatedUTF8("a🖊", 4), "a");
    EXPECT_EQ(truncatedUTF8("a🖊", 5), "a🖊");
    EXPECT_EQ(cleanedText("Ja\tne\u200Bs iPad", 9), "Janes iPa");
    EXPECT_EQ(cleanedText("\xFFok", 10), "ok");
}

TEST(ImageRules, IconAndThumbnailBytes) {
    for (const Bytes& icon : {png(128, 1), png(1, 1, 24), png(64, 64, 12'000)}) {
        EXPECT_TRUE(isValidIconPNG(icon));
    }
    for (const Bytes& icon : {png(64, 64, 23), png(64, 64, 12'001), png(129, 64), png(64, 0),
                              png(0x01000040, 64),  // only the full 32-bit value counts
                              changed(png(64, 64), 12, 'i'), changed(png(64, 64), 7, 0)}) {
        EXPECT_FALSE(isValidIconPNG(icon));
    }
    EXPECT_TRUE(isValidThumbnailJPEG(jpeg(64)));
    EXPECT_TRUE(isValidThumbnailJPEG(jpeg(36'000)));
    for (const Bytes& thumbnail : {jpeg(63), jpeg(36'001), changed(jpeg(100), 2, 0xFE)}) {
        EXPECT_FALSE(isValidThumbnailJPEG(thumbnail));
    }
}

TEST(MenuCommand, Validity) {
    MenuCommand menu{.title = "Save As…", .path = {"File"}, .keys = {command, shift, s}};
    EXPECT_TRUE(menu.isValid());
    menu.keys.clear();
    EXPECT_TRUE(menu.isValid());

    EXPECT_TRUE(
        validAfter(menu, [](auto& c) { c.title = std::string(126, 'x') + "é"; }));  // 128 bytes
    EXPECT_FALSE(validAfter(menu, [](auto& c) { c.title = std::string(127, 'x') + "é"; }));
    EXPECT_FALSE(validAfter(menu, [](auto& c) { c.title.clear(); }));
    EXPECT_FALSE(validAfter(menu, [](auto& c) { c.title = "Save\n"; }));
    EXPECT_TRUE(validAfter(menu, [](auto& c) { c.path = {"a", "b", "c", "d", "e", "f"}; }));
    EXPECT_FALSE(validAfter(menu, [](auto& c) { c.path = {"a", "b", "c", "d", "e", "f", "g"}; }));
    EXPECT_FALSE(validAfter(menu, [](auto& c) { c.path = {"File", ""}; }));
    EXPECT_FALSE(validAfter(menu, [](auto& c) { c.path = {"File\u200E"}; }));
    EXPECT_FALSE(validAfter(menu, [](auto& c) { c.keys = {a, b}; }));
}

TEST(DesktopAction, KindRules) {
    using Kind = DesktopAction::Kind;
    const auto valid = [](Kind kind, std::vector<DesktopKey> keys, std::optional<Uuid> token = {}) {
        return DesktopAction{.contextID = id(1), .kind = kind, .token = token, .keys = keys}
            .isValid();
    };
    EXPECT_TRUE(valid(Kind::tap, {command, z}));
    EXPECT_FALSE(valid(Kind::tap, {}));         // a tap needs a chord
    EXPECT_FALSE(valid(Kind::begin, {shift}));  // a begin needs a token
    EXPECT_TRUE(valid(Kind::begin, {shift}, id(2)));
    EXPECT_FALSE(valid(Kind::begin, {a, b}, id(2)));
    EXPECT_TRUE(valid(Kind::end, {}, id(2)));
    EXPECT_FALSE(valid(Kind::end, {}));
    for (const auto kind : {Kind::releaseAll, Kind::keepAlive}) {
        EXPECT_TRUE(valid(kind, {}));
        EXPECT_FALSE(valid(kind, {a, a}));
    }
}

TEST(DesktopContext, Validity) {
    const auto valid = [](std::string applicationID, std::string name, std::optional<Bytes> icon) {
        return DesktopContext{
            .id = id(1), .applicationID = applicationID, .name = name, .iconPNG = icon}
            .isValid();
    };
    const std::string longest = std::string(128, 'y') + std::string(128, 'z');  // 256 bytes
    EXPECT_TRUE(valid("org.inkscape.Inkscape", longest, png(64, 64)));
    EXPECT_TRUE(valid("inkscape", "Inkscape", std::nullopt));
    EXPECT_FALSE(valid("inkscape", longest + "!", png(64, 64)));
    EXPECT_FALSE(valid(std::string(129, 'a'), "Inkscape", std::nullopt));
    EXPECT_FALSE(valid("", "Inkscape", std::nullopt));
    EXPECT_FALSE(valid("inkscape", "Inkscape", png(200, 64)));
}

TEST(ControlsSignal, PresentFieldsObeyTheirRules) {
    // A bare request must pass: the receiver handles missing fields per kind.
    ControlsSignal signal{.id = id(1), .kind = ControlsSignal::Kind::record};
    EXPECT_TRUE(signal.isValid());
    EXPECT_FALSE(validAfter(signal, [](auto& c) { c.name = ""; }));
    EXPECT_TRUE(validAfter(signal, [](auto& c) { c.name = std::string(256, 'n'); }));
    EXPECT_FALSE(validAfter(signal, [](auto& c) { c.applicationID = std::string(129, 'a'); }));
    EXPECT_FALSE(validAfter(signal, [](auto& c) { c.keys = std::vector<DesktopKey>{}; }));
    EXPECT_TRUE(validAfter(signal, [](auto& c) { c.keys = {option, f4}; }));
    EXPECT_FALSE(validAfter(signal, [](auto& c) { c.commands = {{MenuCommand{.title = ""}}}; }));
    signal.commands.emplace(ControlsSignal::maxCommands, MenuCommand{.title = "Undo"});
    EXPECT_TRUE(signal.isValid());
    signal.commands->push_back(MenuCommand{.title = "Redo"});
    EXPECT_FALSE(signal.isValid());
}

StudioSignal offer(std::string sdp) {
    return {.id = id(1), .kind = StudioSignal::Kind::offer, .sdp = std::move(sdp)};
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(StudioSignal, SdpRule) {
    const std::string sdp = sampleSDP;
    for (const std::string& good :
         {sdp, replaced(sdp, "\r\n", "\n"), replaced(sdp, "sha-256", "SHA-256")}) {
        EXPECT_TRUE(offer(good).isValid()) << good;
    }
    EXPECT_FALSE((StudioSignal{.id = id(1), .kind = StudioSignal::Kind::answer}.isValid()));
    for (const std::string& bad : {
             "\r\n" + sdp,
             replaced(sdp, "v=0", "v=1"),
             replaced(sdp, "sha-256", "sha-1"),
             replaced(sdp, "m=video 9", "m=audio 9"),
             sdp + "m=video 9 UDP/TLS/RTP/SAVPF 103\r\n",
             sdp + "m=application 9 UDP/DTLS/SCTP webrtc-datachannel\r\n",
             sdp + "a=candidate:3 1 udp 1686052607 203.0.113.7 51234 typ srflx raddr 0.0.0.0 rport "
                   "0\r\n",
             sdp + "a=candidate:4 1 udp 1 10.0.0.1 1 typ hostile\r\n",
         }) {
        EXPECT_FALSE(offer(bad).isValid()) << bad;
    }

    std::string padded = sdp;
    padded += "a=x:" + std::string(StudioSignal::maxSDPBytes - padded.size() - 6, 'p') + "\r\n";
    ASSERT_EQ(padded.size(), StudioSignal::maxSDPBytes);
    EXPECT_TRUE(offer(padded).isValid());
    EXPECT_FALSE(offer(padded + "\n").isValid());
}

StudioSource source(std::uint8_t value) {
    return {.id = id(value),
            .kind = StudioSource::Kind::window,
            .name = "Canvas — Krita",
            .application = "Krita"};
}

StudioSignal sources(std::vector<StudioSource> list) {
    return {.id = id(1), .kind = StudioSignal::Kind::sources, .sources = std::move(list)};
}

TEST(StudioSignal, SourcesRule) {
    EXPECT_TRUE(sources({}).isValid());
    EXPECT_FALSE((StudioSignal{.id = id(1), .kind = StudioSignal::Kind::sources}.isValid()));

    std::vector<StudioSource> list;
    for (std::uint8_t index = 0; index < StudioSignal::maxSources; ++index) {
        list.push_back(source(index));
    }
    EXPECT_TRUE(sources(list).isValid());
    list.push_back(source(40));
    EXPECT_FALSE(sources(list).isValid());
    EXPECT_FALSE(sources({source(1), source(2), source(1)}).isValid());

    const auto validSource = [](auto change) {
        StudioSource value = source(1);
        change(value);
        return sources({value}).isValid();
    };
    // 257 bytes in 256 characters are too many.
    EXPECT_FALSE(validSource([](auto& s) { s.name = std::string(255, 'n') + "é"; }));
    EXPECT_TRUE(validSource([](auto& s) { s.name = std::string(254, 'n') + "é"; }));
    EXPECT_TRUE(validSource([](auto& s) { s.application = ""; }));
    EXPECT_FALSE(validSource([](auto& s) { s.application = "Krita\x1B"; }));
    EXPECT_FALSE(validSource([](auto& s) { s.iconPNG = png(256, 256); }));
}

TEST(StudioSignal, SourcesListIsLimitedByItsJsonSize) {
    // Icons of 12,000 bytes grow to 16,000 in base64: two fit in 44,000 bytes.
    std::vector<StudioSource> list{source(0), source(1)};
    for (StudioSource& withIcon : list) {
        withIcon.iconPNG = png(128, 128, 12'000);
    }
    EXPECT_TRUE(sources(list).isValid());
    // Exactly at the limit, counting the emitted JSON's bytes: a third icon fills most of the
    // room and the third name the rest.
    const auto encodedSize = [&] { return dumpJSON(json_codec::encodeValue(list)).size(); };
    list.push_back(source(9));
    list.back().name.clear();
    list.back().iconPNG = png(128, 128, 24);
    const std::size_t room = StudioSignal::maxSourcesJSONBytes - encodedSize();
    list.back().iconPNG = png(128, 128, 24 + (room - 100) / 4 * 3);
    list.back().name = std::string(StudioSignal::maxSourcesJSONBytes - encodedSize(), 'n');
    ASSERT_LE(list.back().name.size(), 256U);
    EXPECT_TRUE(sources(list).isValid());
    list.back().name += "n";
    EXPECT_FALSE(sources(list).isValid());
}

TEST(StudioSignal, PerKindRules) {
    using Kind = StudioSignal::Kind;
    const auto valid = [](StudioSignal signal) { return signal.isValid(); };
    for (const auto kind : {Kind::request, Kind::stop, Kind::listSources, Kind::configure}) {
        EXPECT_TRUE(valid({.id = id(1), .kind = kind}));
    }
    EXPECT_TRUE(valid({.id = id(1), .kind = Kind::failure, .message = "Capture stopped."}));
    for (const auto& message : {std::optional<std::string>{}, std::optional(std::string(513, 'm')),
                                std::optional<std::string>("two\nlines")}) {
        EXPECT_FALSE(valid({.id = id(1), .kind = Kind::failure, .message = message}));
    }

    const StudioSignal configured{.id = id(1),
                                  .kind = Kind::configured,
                                  .width = 1920,
                                  .height = 1080,
                                  .preset = StudioPreset::balanced,
                                  .settingsID = id(2)};
    EXPECT_TRUE(configured.isValid());
    EXPECT_FALSE(validAfter(configured, [](auto& s) { s.width = 16385; }));
    EXPECT_FALSE(validAfter(configured, [](auto& s) { s.settingsID.reset(); }));

    EXPECT_TRUE(valid({.id = id(1), .kind = Kind::request, .viewport = {{2732, 2048, true}}}));
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::request, .viewport = {{2732, 0, true}}}));
    EXPECT_TRUE(
        valid({.id = id(1), .kind = Kind::thumbnail, .sourceID = id(3), .thumbnail = jpeg(5000)}));
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::thumbnail, .thumbnail = jpeg(5000)}));
    EXPECT_FALSE(valid(
        {.id = id(1), .kind = Kind::thumbnail, .sourceID = id(3), .thumbnail = jpeg(36'001)}));

    StudioSignal feedback{.id = id(1), .kind = Kind::feedback};
    EXPECT_FALSE(feedback.isValid());
    feedback.feedback = StudioFeedback{Json{{"stalls", 2}, {"note", std::string(4000, 'n')}}};
    EXPECT_TRUE(feedback.isValid());
    feedback.feedback->object["note"] = std::string(4100, 'n');
    EXPECT_FALSE(feedback.isValid());

    // A field present on a kind that does not need it still obeys its rule.
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::stop, .sourceName = ""}));
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::request, .sdp = "v=0"}));

    // Feedback travels as the object it came as, and only an object.
    const std::string head = R"({"id":"01000000-0000-0000-0000-000000000000","kind":)";
    const std::string report = head + R"("feedback","feedback":{"fps":[59.9,60],"ok":true}})";
    const auto signal = StudioSignal::fromJSON(*parseJSON(report));
    ASSERT_TRUE(signal && signal->isValid());
    EXPECT_EQ(dumpJSON(signal->toJSON()), report);
    EXPECT_FALSE(StudioSignal::fromJSON(*parseJSON(head + R"("feedback","feedback":[1]})")));
    EXPECT_FALSE(StudioSignal::fromJSON(*parseJSON(head + R"("configured","preset":"fast"})")));
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
}

TEST(SessionHello, SenderCleansItsName) {
    EXPECT_EQ(SessionHello::cleanedName("  Studio\tPC\n", SessionRole::mac), "Studio PC");
    EXPECT_EQ(SessionHello::cleanedName("\u200B\u200B", SessionRole::mac), "Mac");
    EXPECT_EQ(SessionHello::cleanedName("", SessionRole::pad), "iPad");
    EXPECT_EQ(SessionHello::cleanedName(std::string(127, 'x') + "\u00E9tude", SessionRole::mac),
              std::string(127, 'x'));
    EXPECT_EQ(SessionHello::cleanedName(std::string(300, '\x01') + "Pad", SessionRole::pad), "Pad");
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
