#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "tools/pad/pad_options.h"
#include "tools/pad/remembered_hosts.h"
#include "tools/pad/stroke_shape.h"

namespace quillory::pad {
namespace {

PadOptions parsed(std::vector<std::string> arguments) {
    auto result = parsePadOptions(arguments);
    if (auto* error = std::get_if<UsageError>(&result)) {
        ADD_FAILURE() << error->message;
        return {};
    }
    return std::get<PadOptions>(result);
}

std::string refusal(std::vector<std::string> arguments) {
    auto result = parsePadOptions(arguments);
    auto* error = std::get_if<UsageError>(&result);
    return error ? error->message : "accepted";
}

TEST(PadOptions, CommandsAndTheirOptions) {
    const auto pair = parsed({"--json", "pair", "--host", "10.0.0.2", "--port", "5000"});
    EXPECT_EQ(pair.command, PadOptions::Command::pair);
    EXPECT_TRUE(pair.json);
    EXPECT_EQ(pair.host, "10.0.0.2");
    EXPECT_EQ(pair.port, 5000);

    const auto draw = parsed({"draw", "--reconnect", "--strokes", "7", "--host", "Studio"});
    EXPECT_EQ(draw.command, PadOptions::Command::draw);
    EXPECT_TRUE(draw.reconnect);
    EXPECT_EQ(draw.strokes, 7u);
    EXPECT_FALSE(draw.port);

    const auto key = parsed({"key", "shift+command+z"});
    EXPECT_EQ(key.chord, (std::vector{DesktopKey::shift, DesktopKey::command, DesktopKey::z}));

    const auto resumed = parsed({"draw", "--intent", "01000000-0000-0000-0000-000000000001"});
    EXPECT_EQ(resumed.intent->text(), "01000000-0000-0000-0000-000000000001");
}

TEST(PadOptions, BadInputIsExplained) {
    EXPECT_EQ(refusal({}), "Name a command: list, pair, draw or key.");
    EXPECT_EQ(refusal({"scribble"}), "Unknown command “scribble”: use list, pair, draw or key.");
    EXPECT_EQ(refusal({"list", "--verbose"}), "Unknown option --verbose.");
    EXPECT_EQ(refusal({"pair", "--host"}), "--host needs a value.");
    EXPECT_EQ(refusal({"pair", "--host", "h"}), "--host needs --port when pairing.");
    EXPECT_EQ(refusal({"draw", "--port", "5"}), "--port needs --host.");
    EXPECT_EQ(refusal({"pair", "--host", "h", "--port", "0"}),
              "“0” is not a port: use a number from 1 to 65535.");
    EXPECT_EQ(refusal({"pair", "--host", "h", "--port", "65536"}),
              "“65536” is not a port: use a number from 1 to 65535.");
    EXPECT_EQ(refusal({"pair", "--host", "h", "--port", "12ab"}),
              "“12ab” is not a port: use a number from 1 to 65535.");
    EXPECT_EQ(refusal({"draw", "--strokes", "-1"}), "“-1” is not a stroke count: use 1 to 100000.");
    EXPECT_EQ(refusal({"list", "--wait", "nan"}), "“nan” is not a time: use seconds up to 600.");
    EXPECT_EQ(refusal({"draw", "--intent", "yesterday"}),
              "“yesterday” is not a session identifier (UUID).");
    EXPECT_EQ(refusal({"key"}), "Name the chord to tap, for example: quillory-pad key command+z");
    EXPECT_EQ(refusal({"draw", "extra"}), "Unexpected argument “extra”.");
}

TEST(PadOptions, ChordsFollowTheChordRule) {
    EXPECT_EQ(std::get<std::vector<DesktopKey>>(parseChord("command+=")),
              (std::vector{DesktopKey::command, DesktopKey::equals}));
    EXPECT_EQ(std::get<std::vector<DesktopKey>>(parseChord("f5")), std::vector{DesktopKey::f5});
    const auto message = [](const std::string& text) {
        auto result = parseChord(text);
        auto* error = std::get_if<UsageError>(&result);
        return error ? error->message : "accepted";
    };
    EXPECT_EQ(message("command+Z").rfind("Unknown key “Z” in “command+Z”", 0), 0u);
    EXPECT_EQ(message("command+").rfind("Unknown key “” in", 0), 0u);
    EXPECT_EQ(message("").rfind("Unknown key “” in", 0), 0u);
    const std::string notAChord = "is not a key chord";
    EXPECT_NE(message("a+b").find(notAChord), std::string::npos);  // two plain keys
    EXPECT_NE(message("shift+shift").find(notAChord), std::string::npos);
    EXPECT_NE(message("command+control+option+shift+a+b").find(notAChord), std::string::npos);
    EXPECT_EQ(message("command+control+option+shift+a"), "accepted");
}

class RememberedHostsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillory-pad-test.XXXXXX";
        folder = ::mkdtemp(pattern);
        path = folder / "quillory-pad" / "hosts.json";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
    std::filesystem::path path;
};

TEST_F(RememberedHostsTest, RemembersMostRecentFirstAndFindsByNameAddressOrId) {
    auto hosts = *RememberedHosts::load(path).hosts;
    EXPECT_TRUE(hosts.hosts().empty());
    EXPECT_FALSE(hosts.find(std::nullopt, std::nullopt));

    const RememberedHost studio{"aaaabbbbccccdddd", "Studio", "10.0.0.2", 5000};
    const RememberedHost attic{"1111222233334444", "Attic", "10.0.0.3", 6000};
    ASSERT_TRUE(hosts.remember(studio));
    ASSERT_TRUE(hosts.remember(attic));
    // The studio moved: same identity, new address, and now the most recent.
    const RememberedHost moved{"aaaabbbbccccdddd", "Studio", "10.0.0.9", 5001};
    ASSERT_TRUE(hosts.remember(moved));

    const auto reloaded = *RememberedHosts::load(path).hosts;
    EXPECT_EQ(reloaded.hosts(), (std::vector{moved, attic}));
    EXPECT_EQ(reloaded.find(std::nullopt, std::nullopt), moved);
    EXPECT_EQ(reloaded.find("Attic", std::nullopt), attic);
    EXPECT_EQ(reloaded.find("10.0.0.3", 6000), attic);
    EXPECT_FALSE(reloaded.find("10.0.0.3", 6001));
    EXPECT_EQ(reloaded.find("11112222", std::nullopt), attic);
    EXPECT_FALSE(reloaded.find("1111", std::nullopt));  // too short to name an identity
    EXPECT_EQ(reloaded.byAddress("10.0.0.9", 5001), moved);
    EXPECT_EQ(reloaded.byId("1111222233334444"), attic);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::none);
}

TEST_F(RememberedHostsTest, ADamagedFileIsReportedAndKept) {
    std::filesystem::create_directories(path.parent_path());
    for (const std::string text :
         {"not json", R"({"hosts":{}})", R"({"hosts":[{"id":"a","name":"b","address":"c"}]})",
          R"({"hosts":[{"id":"a","name":"b","address":"c","port":70000}]})"}) {
        std::ofstream(path) << text;
        const auto loaded = RememberedHosts::load(path);
        EXPECT_FALSE(loaded.hosts) << text;
        EXPECT_EQ(loaded.error, path.string() + " is damaged; move it away to start over.");
        std::ifstream kept(path);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), text);
    }
}

TEST(StrokeShape, StrokesAreValidPressedAndTilted) {
    for (unsigned index : {0u, 1u, 7u}) {
        const auto stroke = strokeShape(index);
        ASSERT_EQ(stroke.size(), samplesPerStroke);
        EXPECT_EQ(stroke.front().phase, PenSample::Phase::began);
        EXPECT_EQ(stroke.back().phase, PenSample::Phase::ended);
        for (std::size_t step = 1; step + 1 < stroke.size(); ++step) {
            EXPECT_EQ(stroke[step].phase, PenSample::Phase::moved);
        }
        double lightest = 1;
        double firmest = 0;
        for (const auto& sample : stroke) {
            EXPECT_TRUE(sample.isValid());
            lightest = std::min(lightest, sample.pressure);
            firmest = std::max(firmest, sample.pressure);
        }
        EXPECT_GT(firmest - lightest, 0.5);
        EXPECT_NE(stroke.front().altitude, stroke[30].altitude);
        EXPECT_NE(stroke.front().azimuth, stroke.back().azimuth);
    }
}

}  // namespace
}  // namespace quillory::pad
