#include <gtest/gtest.h>

#include <sstream>

#include "tools/pad/pad_options.h"
#include "tools/pad/paint_latency.h"
#include "tools/pad/share_syntax.h"

namespace quillory::pad {
namespace {

std::string refusal(const std::vector<std::string>& arguments) {
    auto result = parsePadOptions(arguments);
    auto* error = std::get_if<UsageError>(&result);
    return error ? error->message : "accepted";
}

TEST(StudioShareOptions, ShareTakesItsOptions) {
    auto result =
        parsePadOptions({"studio", "share", "--window", "🇫🇷 Notes", "--preset", "responsive",
                         "--viewport", "1180x820,actual", "--seconds", "2.5", "--shape",
                         "loss=2%,rate=1.5mbit", "--paint-log", "paint.log"});
    ASSERT_TRUE(std::holds_alternative<PadOptions>(result)) << std::get<UsageError>(result).message;
    const auto& options = std::get<PadOptions>(result);
    EXPECT_EQ(options.studio, PadOptions::Studio::share);
    EXPECT_EQ(options.window, "🇫🇷 Notes");
    EXPECT_EQ(options.preset, StudioPreset::responsive);
    EXPECT_EQ(options.viewport, (StudioViewport{1180, 820, true}));
    EXPECT_EQ(options.seconds, 2.5);
    EXPECT_EQ(options.shape, (LinkShaping{1.5e6, 0.02, 0}));
    EXPECT_EQ(options.paintLog, "paint.log");

    const auto plain = std::get<PadOptions>(parsePadOptions({"studio", "share"}));
    EXPECT_FALSE(plain.source || plain.window || plain.viewport || plain.shape || plain.seconds);
}

TEST(StudioShareOptions, MisplacedOrBadShareOptionsAreExplained) {
    const struct {
        std::vector<std::string> arguments;
        std::string refusal;
    } cases[] = {
        {{"studio", "list", "--window", "Notes"}, "--window belongs to studio share."},
        {{"draw", "--seconds", "3"}, "--seconds belongs to studio share."},
        {{"studio", "list", "--shape", "off"}, "--shape belongs to studio share."},
        {{"studio", "share", "--thumbnails", "x"}, "--thumbnails belongs to studio list."},
        {{"studio", "share", "--window", "A", "--source", "01000000-0000-0000-0000-000000000001"},
         "Share either --source or --window, not both."},
        {{"studio", "share", "--source", "display-1"},
         "“display-1” is not a source identifier: use an id that studio list printed."},
        {{"studio", "share", "--preset", "fast"},
         "“fast” is not a preset: use quality, balanced or responsive."},
        {{"studio", "share", "--seconds", "0"}, "“0” is not a time: use seconds up to 86400."},
        {{"studio", "share", "--window", ""}, "--window needs a value."},
        {{"studio", "share", "--viewport", "1280x0"},
         "“1280x0” is not a viewport: write WxH with sides up to 16384, for example 1280x720, "
         "and ,actual for the source's own pixels."},
        {{"studio", "share", "--shape", "rate=fast"},
         "“rate=fast” is not a network shaping: a rate is 1kbit to 10gbit. Write for example "
         "rate=1.5mbit,loss=2%,delay=20ms, or off."},
    };
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(refusal(arguments), expected) << arguments.back();
    }
}

TEST(ShareSyntax, ShapingUnitsAndLimits) {
    const struct {
        const char* text;
        std::optional<LinkShaping> shaping;  // none: refused
    } cases[] = {
        {"off", LinkShaping{}},
        {"rate=1.5mbit,loss=2%,delay=20ms", LinkShaping{1.5e6, 0.02, 0.02}},
        {"delay=0.1s,rate=800kbit", LinkShaping{8e5, 0, 0.1}},
        {"loss=0.05", LinkShaping{std::nullopt, 0.05, 0}},
        {"delay=15", LinkShaping{std::nullopt, 0, 0.015}},
        {"rate=2gbit", LinkShaping{2e9, 0, 0}},
        {"loss=100%", LinkShaping{std::nullopt, 1, 0}},
        {"rate=1.5", std::nullopt},  // a rate needs its unit
        {"rate=999bit", std::nullopt},
        {"rate=11gbit", std::nullopt},
        {"rate=-1mbit", std::nullopt},
        {"loss=101%", std::nullopt},
        {"loss=2", std::nullopt},
        {"loss=nan", std::nullopt},
        {"delay=6s", std::nullopt},
        {"delay=-1ms", std::nullopt},
        {"rate=1mbit,rate=2mbit", std::nullopt},
        {"jitter=5ms", std::nullopt},
        {"rate", std::nullopt},
        {"", std::nullopt},
        {"rate=1mbit,", std::nullopt},
        {"Rate=1mbit", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        auto result = parseShaping(text);
        if (expected) {
            ASSERT_TRUE(std::holds_alternative<LinkShaping>(result)) << text;
            const auto& shaping = std::get<LinkShaping>(result);
            EXPECT_EQ(shaping.rateBitsPerSecond.has_value(),
                      expected->rateBitsPerSecond.has_value())
                << text;
            EXPECT_DOUBLE_EQ(shaping.rateBitsPerSecond.value_or(0),
                             expected->rateBitsPerSecond.value_or(0))
                << text;
            EXPECT_DOUBLE_EQ(shaping.lossFraction, expected->lossFraction) << text;
            EXPECT_DOUBLE_EQ(shaping.delaySeconds, expected->delaySeconds) << text;
        } else {
            EXPECT_TRUE(std::holds_alternative<UsageError>(result)) << text;
        }
    }
}

TEST(ShareSyntax, Viewports) {
    const struct {
        const char* text;
        std::optional<StudioViewport> viewport;
    } cases[] = {
        {"1280x720", StudioViewport{1280, 720, false}},
        {"1x16384,actual", StudioViewport{1, 16384, true}},
        {"16385x10", std::nullopt},
        {"0x10", std::nullopt},
        {"1280x720,fit", std::nullopt},
        {"1280x720,actual,actual", std::nullopt},
        {"1280×720", std::nullopt},
        {"1280x", std::nullopt},
        {"x720", std::nullopt},
        {"-5x10", std::nullopt},
        {"1280x720x3", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        auto result = parseViewport(text);
        if (expected) {
            ASSERT_TRUE(std::holds_alternative<StudioViewport>(result)) << text;
            EXPECT_EQ(std::get<StudioViewport>(result), *expected) << text;
        } else {
            EXPECT_TRUE(std::holds_alternative<UsageError>(result)) << text;
        }
    }
}

TEST(ShareSyntax, TypedCommands) {
    using Kind = ShareCommand::Kind;
    const struct {
        const char* line;
        std::optional<Kind> kind;  // none: refused
    } cases[] = {
        {"keyframe", Kind::keyframe},
        {"  stop ", Kind::stop},
        {"quit", Kind::quit},
        {"configure responsive 1180x820", Kind::configure},
        {"configure quality", Kind::configure},
        {"shape rate=1.5mbit,loss=2%", Kind::shape},
        {"shape off", Kind::shape},
        {"draw 0.25 0.75", Kind::draw},
        {"draw 0 1", Kind::draw},
        {"keyframe now", std::nullopt},
        {"configure", std::nullopt},
        {"configure fast", std::nullopt},
        {"configure quality 10x", std::nullopt},
        {"configure quality 10x10 more", std::nullopt},
        {"shape", std::nullopt},
        {"shape loss=200%", std::nullopt},
        {"draw 0.5", std::nullopt},
        {"draw 1.5 0.5", std::nullopt},
        {"draw 0.5 -0.1", std::nullopt},
        {"draw 0.5 nan", std::nullopt},
        {"draw 0.5 0.5x", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [line, kind] : cases) {
        auto result = parseShareCommand(line);
        if (kind) {
            ASSERT_TRUE(std::holds_alternative<ShareCommand>(result)) << line;
            EXPECT_EQ(std::get<ShareCommand>(result).kind, *kind) << line;
        } else {
            EXPECT_TRUE(std::holds_alternative<UsageError>(result)) << line;
        }
    }
    const auto configure =
        std::get<ShareCommand>(parseShareCommand("configure responsive 1180x820"));
    EXPECT_EQ(configure.preset, StudioPreset::responsive);
    EXPECT_EQ(configure.viewport, (StudioViewport{1180, 820, false}));
    const auto draw = std::get<ShareCommand>(parseShareCommand("draw 0.25 0.75"));
    EXPECT_EQ(draw.x, 0.25);
    EXPECT_EQ(draw.y, 0.75);
}

TEST(PaintLatency, Percentiles) {
    const struct {
        std::vector<double> values;
        double median;
        double p95;
    } cases[] = {
        {{7}, 7, 7},
        {{4, 1, 3, 2}, 2.5, 4},
        {{5, 1, 3}, 3, 5},
        // Nearest rank: the 95th of 20 values is the 19th, not the largest.
        {{20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 10.5, 19},
        {{}, 0, 0},
    };
    for (const auto& [values, expectedMedian, expectedP95] : cases) {
        EXPECT_EQ(median(values), expectedMedian) << values.size();
        EXPECT_EQ(percentile(values, 0.95), expectedP95) << values.size();
    }
}

TEST(PaintLatency, MatchesFirstDecodeOfEachPaintedCounter) {
    PaintLatency latency;
    EXPECT_FALSE(latency.summary());
    // Decoded before the log is read, as while sharing.
    latency.decoded(10, 15'000'000);
    latency.decoded(10, 90'000'000);  // the same picture again: no new paint
    latency.decoded(11, 30'000'000);
    latency.decoded(12, 40'000'000);
    latency.decoded(99, 50'000'000);  // never painted: not counted
    std::istringstream log(
        "{\"counter\":10,\"time\":5000000}\n"
        "{\"event\":\"ack\",\"command\":\"move\",\"counter\":11}\n"
        "not json\n"
        "{\"counter\":11,\"time\":20000000}\n"
        "{\"counter\":11,\"time\":21000000}\n"  // painted again: the first paint counts
        "{\"counter\":-4,\"time\":1}\n"
        "{\"counter\":12,\"time\":\"soon\"}\n"
        "{\"counter\":12,\"time\":35000000}");
    EXPECT_EQ(latency.readLog(log), 4u);
    const auto summary = latency.summary();
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->frames, 3u);
    EXPECT_DOUBLE_EQ(summary->medianMilliseconds, 10);
    EXPECT_DOUBLE_EQ(summary->p95Milliseconds, 10);
}

}  // namespace
}  // namespace quillory::pad
