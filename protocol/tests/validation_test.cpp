#include <gtest/gtest.h>

#include <string>

#include "protocol/controls_signal.h"
#include "protocol/desktop_action.h"
#include "protocol/desktop_context.h"
#include "protocol/image_rules.h"
#include "protocol/studio_signal.h"
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

Uuid id(std::uint8_t value) {
    Uuid::Bytes bytes{};
    bytes[0] = value;
    return Uuid(bytes);
}

TEST(TextRules, CountsBytesAndRefusesControlAndFormatCharacters) {
    EXPECT_TRUE(isValidText("Grüße", 1, 7));  // 7 bytes
    EXPECT_FALSE(isValidText("Grüße", 1, 6));
    EXPECT_FALSE(isValidText("", 1, 6));
    for (const char* bad : {"a\tb", "a\x7F", "a\u0085", "a\u00AD", "a\u200Bb", "\u202Eevil",
                            "\uFEFF", "tag\U000E0041", "\xC3", "\xC0\x80", "\xED\xA0\x80"}) {
        EXPECT_FALSE(isCleanText(bad)) << bad;
    }
    EXPECT_TRUE(isCleanText("emoji 🖊️ and ZWJ-free text"));

    // Cutting never splits a character.
    EXPECT_EQ(truncatedUTF8("aé", 2), "a");
    EXPECT_EQ(truncatedUTF8("a🖊", 4), "a");
    EXPECT_EQ(truncatedUTF8("a🖊", 5), "a🖊");
    EXPECT_EQ(cleanedText("Ja\tne\u200Bs iPad", 9), "Janes iPa");
    EXPECT_EQ(cleanedText("\xFFok", 10), "ok");
}

TEST(ImageRules, IconAndThumbnailBytes) {
    EXPECT_TRUE(isValidIconPNG(png(128, 1)));
    EXPECT_TRUE(isValidIconPNG(png(1, 1, 24)));
    EXPECT_TRUE(isValidIconPNG(png(64, 64, 12'000)));
    EXPECT_FALSE(isValidIconPNG(png(64, 64, 23)));
    EXPECT_FALSE(isValidIconPNG(png(64, 64, 12'001)));
    EXPECT_FALSE(isValidIconPNG(png(129, 64)));
    EXPECT_FALSE(isValidIconPNG(png(64, 0)));
    EXPECT_FALSE(isValidIconPNG(png(0x01000040, 64)));  // only the full 32-bit value counts
    Bytes wrongChunk = png(64, 64);
    wrongChunk[12] = 'i';
    EXPECT_FALSE(isValidIconPNG(wrongChunk));
    Bytes wrongSignature = png(64, 64);
    wrongSignature[7] = 0;
    EXPECT_FALSE(isValidIconPNG(wrongSignature));

    EXPECT_TRUE(isValidThumbnailJPEG(jpeg(64)));
    EXPECT_TRUE(isValidThumbnailJPEG(jpeg(36'000)));
    EXPECT_FALSE(isValidThumbnailJPEG(jpeg(63)));
    EXPECT_FALSE(isValidThumbnailJPEG(jpeg(36'001)));
    Bytes notJpeg = jpeg(100);
    notJpeg[2] = 0xFE;
    EXPECT_FALSE(isValidThumbnailJPEG(notJpeg));
}

TEST(MenuCommand, Validity) {
    MenuCommand menu{.title = "Save As…", .path = {"File"}, .keys = {command, shift, s}};
    EXPECT_TRUE(menu.isValid());
    menu.keys.clear();
    EXPECT_TRUE(menu.isValid());

    const auto broken = [&](auto change) {
        MenuCommand value = menu;
        change(value);
        return value.isValid();
    };
    EXPECT_TRUE(
        broken([](MenuCommand& c) { c.title = std::string(126, 'x') + "é"; }));  // 128 bytes
    EXPECT_FALSE(broken([](MenuCommand& c) { c.title = std::string(127, 'x') + "é"; }));
    EXPECT_FALSE(broken([](MenuCommand& c) { c.title.clear(); }));
    EXPECT_FALSE(broken([](MenuCommand& c) { c.title = "Save\n"; }));
    EXPECT_TRUE(broken([](MenuCommand& c) { c.path = {"a", "b", "c", "d", "e", "f"}; }));
    EXPECT_FALSE(broken([](MenuCommand& c) { c.path = {"a", "b", "c", "d", "e", "f", "g"}; }));
    EXPECT_FALSE(broken([](MenuCommand& c) { c.path = {"File", ""}; }));
    EXPECT_FALSE(broken([](MenuCommand& c) { c.path = {"File\u200E"}; }));
    EXPECT_FALSE(broken([](MenuCommand& c) { c.keys = {a, b}; }));
}

TEST(DesktopAction, KindRules) {
    DesktopAction action{
        .contextID = id(1), .kind = DesktopAction::Kind::tap, .keys = {command, z}};
    EXPECT_TRUE(action.isValid());
    action.keys.clear();
    EXPECT_FALSE(action.isValid());  // a tap needs a chord

    action.kind = DesktopAction::Kind::begin;
    action.keys = {shift};
    EXPECT_FALSE(action.isValid());  // a begin needs a token
    action.token = id(2);
    EXPECT_TRUE(action.isValid());
    action.keys = {a, b};
    EXPECT_FALSE(action.isValid());

    action.kind = DesktopAction::Kind::end;
    action.keys.clear();
    EXPECT_TRUE(action.isValid());
    action.token.reset();
    EXPECT_FALSE(action.isValid());

    for (const auto kind : {DesktopAction::Kind::releaseAll, DesktopAction::Kind::keepAlive}) {
        EXPECT_TRUE((DesktopAction{.contextID = id(1), .kind = kind}.isValid()));
        EXPECT_FALSE((DesktopAction{.contextID = id(1), .kind = kind, .keys = {a, a}}.isValid()));
    }
}

TEST(DesktopContext, Validity) {
    DesktopContext context{.id = id(1),
                           .applicationID = "org.inkscape.Inkscape",
                           .name = std::string(64, 'x'),
                           .inputEnabled = true,
                           .iconPNG = png(64, 64)};
    EXPECT_TRUE(context.isValid());
    context.name = std::string(64, 'x') + std::string(64, 'y') + std::string(128, 'z');
    EXPECT_TRUE(context.isValid());
    context.name += "!";
    EXPECT_FALSE(context.isValid());
    context.name = "Inkscape";
    context.applicationID = std::string(129, 'a');
    EXPECT_FALSE(context.isValid());
    context.applicationID = "";
    EXPECT_FALSE(context.isValid());
    context.applicationID = "inkscape";
    context.iconPNG = png(200, 64);
    EXPECT_FALSE(context.isValid());
    context.iconPNG.reset();
    EXPECT_TRUE(context.isValid());
}

TEST(ControlsSignal, PresentFieldsObeyTheirRules) {
    // A bare request must pass: the receiver handles missing fields per kind.
    ControlsSignal signal{.id = id(1), .kind = ControlsSignal::Kind::record};
    EXPECT_TRUE(signal.isValid());
    signal.name = "";
    EXPECT_FALSE(signal.isValid());
    signal.name = std::string(256, 'n');
    EXPECT_TRUE(signal.isValid());
    signal.applicationID = std::string(129, 'a');
    EXPECT_FALSE(signal.isValid());
    signal.applicationID = "org.gimp.GIMP";
    signal.keys = std::vector<DesktopKey>{};
    EXPECT_FALSE(signal.isValid());
    signal.keys = {option, f4};
    EXPECT_TRUE(signal.isValid());

    signal.commands.emplace(ControlsSignal::kMaxCommands,
                            MenuCommand{.title = "Undo", .path = {"Edit"}});
    EXPECT_TRUE(signal.isValid());
    signal.commands->push_back(MenuCommand{.title = "Redo"});
    EXPECT_FALSE(signal.isValid());
    signal.commands = {{MenuCommand{.title = ""}}};
    EXPECT_FALSE(signal.isValid());
}

const char* kOffer =
    "v=0\r\n"
    "o=- 4611731400430051336 2 IN IP4 127.0.0.1\r\n"
    "s=-\r\n"
    "t=0 0\r\n"
    "a=group:BUNDLE 0\r\n"
    "a=fingerprint:sha-256 0B:6A:BD:16:33:1C:FD:6E:4F:AD:08:9E:00:5C:9D:36:5E:35:D1:50:E4:0F:"
    "95:E3:67:B2:70:6A:FF:8C:3E:4C\r\n"
    "m=video 9 UDP/TLS/RTP/SAVPF 102\r\n"
    "c=IN IP4 0.0.0.0\r\n"
    "a=candidate:1 1 udp 2122260223 192.168.1.20 51234 typ host generation 0\r\n"
    "a=candidate:2 1 udp 2122194687 fe80::1 51235 typ host\r\n"
    "a=sendonly\r\n"
    "a=rtpmap:102 H264/90000\r\n";

StudioSignal offer(std::string sdp) {
    return {.id = id(1), .kind = StudioSignal::Kind::offer, .sdp = std::move(sdp)};
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(StudioSignal, SdpRule) {
    EXPECT_TRUE(offer(kOffer).isValid());
    EXPECT_TRUE(offer(replaced(kOffer, "\r\n", "\n")).isValid());
    EXPECT_TRUE(offer(replaced(kOffer, "sha-256", "SHA-256")).isValid());
    EXPECT_FALSE((StudioSignal{.id = id(1), .kind = StudioSignal::Kind::answer}.isValid()));

    EXPECT_FALSE(offer(std::string("\r\n") + kOffer).isValid());
    EXPECT_FALSE(offer(replaced(kOffer, "v=0", "v=1")).isValid());
    EXPECT_FALSE(offer(replaced(kOffer, "sha-256", "sha-1")).isValid());
    EXPECT_FALSE(offer(replaced(kOffer, "m=video 9", "m=audio 9")).isValid());
    EXPECT_FALSE(offer(std::string(kOffer) + "m=video 9 UDP/TLS/RTP/SAVPF 103\r\n").isValid());
    EXPECT_FALSE(offer(std::string(kOffer) + "m=application 9 UDP/DTLS/SCTP webrtc-datachannel\r\n")
                     .isValid());
    EXPECT_FALSE(
        offer(
            std::string(kOffer) +
            "a=candidate:3 1 udp 1686052607 203.0.113.7 51234 typ srflx raddr 0.0.0.0 rport 0\r\n")
            .isValid());
    EXPECT_FALSE(
        offer(std::string(kOffer) + "a=candidate:4 1 udp 1 10.0.0.1 1 typ hostile\r\n").isValid());

    std::string padded = kOffer;
    padded += "a=x:" + std::string(StudioSignal::kMaxSDPBytes - padded.size() - 6, 'p') + "\r\n";
    ASSERT_EQ(padded.size(), StudioSignal::kMaxSDPBytes);
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
    for (std::uint8_t index = 0; index < StudioSignal::kMaxSources; ++index) {
        list.push_back(source(index));
    }
    EXPECT_TRUE(sources(list).isValid());
    list.push_back(source(40));
    EXPECT_FALSE(sources(list).isValid());
    EXPECT_FALSE(sources({source(1), source(2), source(1)}).isValid());

    StudioSource named = source(1);
    named.name = std::string(255, 'n') + "é";  // 257 bytes, 256 characters
    EXPECT_FALSE(sources({named}).isValid());
    named.name = std::string(254, 'n') + "é";
    EXPECT_TRUE(sources({named}).isValid());
    named.application = "";
    EXPECT_TRUE(sources({named}).isValid());
    named.application = "Krita\x1B";
    EXPECT_FALSE(sources({named}).isValid());
    named.application.reset();
    named.iconPNG = png(256, 256);
    EXPECT_FALSE(sources({named}).isValid());
}

TEST(StudioSignal, SourcesListIsLimitedByItsJsonSize) {
    // Icons of 12,000 bytes grow to 16,000 in base64: two fit in 44,000 bytes, three do not.
    std::vector<StudioSource> list;
    for (std::uint8_t index = 0; index < 3; ++index) {
        StudioSource withIcon = source(index);
        withIcon.iconPNG = png(128, 128, 12'000);
        list.push_back(withIcon);
    }
    EXPECT_FALSE(sources(list).isValid());
    list.pop_back();
    EXPECT_TRUE(sources(list).isValid());
    // Exactly at the limit, counting the emitted JSON's bytes: a third icon fills most of the
    // room and the third name the rest.
    const auto encodedSize = [&] { return dumpJSON(json_codec::encodeValue(list)).size(); };
    list.push_back(source(9));
    list.back().name.clear();
    list.back().iconPNG = png(128, 128, 24);
    const std::size_t room = StudioSignal::kMaxSourcesJSONBytes - encodedSize();
    list.back().iconPNG = png(128, 128, 24 + (room - 100) / 4 * 3);
    list.back().name = std::string(StudioSignal::kMaxSourcesJSONBytes - encodedSize(), 'n');
    ASSERT_LE(list.back().name.size(), 256U);
    EXPECT_TRUE(sources(list).isValid());
    list.back().name += "n";
    EXPECT_FALSE(sources(list).isValid());
}

TEST(StudioSignal, PerKindRules) {
    const auto valid = [](StudioSignal signal) { return signal.isValid(); };
    using Kind = StudioSignal::Kind;
    for (const auto kind : {Kind::request, Kind::stop, Kind::listSources, Kind::configure}) {
        EXPECT_TRUE(valid({.id = id(1), .kind = kind}));
    }
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::failure}));
    EXPECT_TRUE(valid({.id = id(1), .kind = Kind::failure, .message = "Capture stopped."}));
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::failure, .message = std::string(513, 'm')}));
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::failure, .message = "two\nlines"}));

    StudioSignal configured{.id = id(1),
                            .kind = Kind::configured,
                            .width = 1920,
                            .height = 1080,
                            .preset = StudioPreset::balanced,
                            .settingsID = id(2)};
    EXPECT_TRUE(configured.isValid());
    configured.width = 16385;
    EXPECT_FALSE(configured.isValid());
    configured.width = 1920;
    configured.settingsID.reset();
    EXPECT_FALSE(configured.isValid());

    StudioSignal request{
        .id = id(1), .kind = Kind::request, .viewport = StudioViewport{2732, 2048, true}};
    EXPECT_TRUE(request.isValid());
    request.viewport->height = 0;
    EXPECT_FALSE(request.isValid());

    StudioSignal thumbnail{
        .id = id(1), .kind = Kind::thumbnail, .sourceID = id(3), .thumbnail = jpeg(5000)};
    EXPECT_TRUE(thumbnail.isValid());
    thumbnail.sourceID.reset();
    EXPECT_FALSE(thumbnail.isValid());
    thumbnail.sourceID = id(3);
    thumbnail.thumbnail = jpeg(36'001);
    EXPECT_FALSE(thumbnail.isValid());

    StudioSignal feedback{.id = id(1), .kind = Kind::feedback};
    EXPECT_FALSE(feedback.isValid());
    feedback.feedback = StudioFeedback{Json{{"stalls", 2}, {"note", std::string(4000, 'n')}}};
    EXPECT_TRUE(feedback.isValid());
    feedback.feedback->object["note"] = std::string(4100, 'n');
    EXPECT_FALSE(feedback.isValid());

    // A field present on a kind that does not need it still obeys its rule.
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::stop, .sourceName = ""}));
    EXPECT_FALSE(valid({.id = id(1), .kind = Kind::request, .sdp = "v=0"}));
}

TEST(StudioSignal, FeedbackMustBeAnObject) {
    const auto decode = [](const char* text) { return StudioSignal::fromJSON(*parseJSON(text)); };
    const auto signal = decode(R"({"id":"01000000-0000-0000-0000-000000000000","kind":"feedback",)"
                               R"("feedback":{"fps":[59.9,60],"ok":true}})");
    ASSERT_TRUE(signal);
    EXPECT_TRUE(signal->isValid());
    EXPECT_EQ(dumpJSON(signal->toJSON()),
              R"({"id":"01000000-0000-0000-0000-000000000000","kind":"feedback",)"
              R"("feedback":{"fps":[59.9,60],"ok":true}})");
    EXPECT_FALSE(decode(
        R"({"id":"01000000-0000-0000-0000-000000000000","kind":"feedback","feedback":[1]})"));
    EXPECT_FALSE(decode(
        R"({"id":"01000000-0000-0000-0000-000000000000","kind":"configured","preset":"fast"})"));
}

}  // namespace
}  // namespace quillory
