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
    EXPECT_EQ(refusal({}), "Name a command: list, pair, draw, key, commands, record or studio.");
    EXPECT_EQ(refusal({"scribble"}),
              "Unknown command “scribble”: use list, pair, draw, key, commands, record or studio.");
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
    EXPECT_EQ(refusal({"draw", "--strokes", "-1"}), "“-1” is not a stroke count: use 0 to 100000.");
    EXPECT_EQ(refusal({"list", "--wait", "nan"}), "“nan” is not a time: use seconds up to 600.");
    EXPECT_EQ(refusal({"draw", "--intent", "yesterday"}),
              "“yesterday” is not a session identifier (UUID).");
    EXPECT_EQ(refusal({"key"}), "Name the chord to tap, for example: quillory-pad key command+z");
    EXPECT_EQ(refusal({"draw", "extra"}), "Unexpected argument “extra”.");
    EXPECT_EQ(refusal({"studio"}),
              "Name what Studio should do: quillory-pad studio list, or studio share");
    EXPECT_EQ(refusal({"studio", "record"}), "Unknown Studio command “record”: use list or share.");
    EXPECT_EQ(refusal({"studio", "list", "more"}), "Unexpected argument “more”.");
    EXPECT_EQ(refusal({"draw", "--thumbnails", "shots"}), "--thumbnails belongs to studio list.");
    EXPECT_EQ(refusal({"studio", "list", "--thumbnails", ""}), "--thumbnails needs a value.");
}

TEST(PadOptions, StudioList) {
    const auto list = parsed({"studio", "--json", "list", "--thumbnails", "shots", "--host", "PC"});
    EXPECT_EQ(list.command, PadOptions::Command::studio);
    EXPECT_EQ(list.thumbnails, "shots");
    EXPECT_EQ(list.host, "PC");
    EXPECT_TRUE(list.json);
}

TEST(PadOptions, CommandsRecordAndDuration) {
    const auto commands = parsed({"commands", "--host", "Studio"});
    EXPECT_EQ(commands.command, PadOptions::Command::commands);
    EXPECT_EQ(commands.host, "Studio");

    // The name may look like anything but an option.
    const auto record = parsed({"record", "Soft Brush 2", "--json"});
    EXPECT_EQ(record.command, PadOptions::Command::record);
    EXPECT_EQ(record.recordName, "Soft Brush 2");
    EXPECT_TRUE(record.json);

    const auto soak = parsed({"draw", "--duration", "600"});
    EXPECT_EQ(soak.duration, 600.0);
    const auto idle = parsed({"draw", "--duration", "0.5", "--strokes", "0"});
    EXPECT_EQ(idle.duration, 0.5);
    EXPECT_EQ(idle.strokes, 0u);
}

TEST(PadOptions, BadCommandsRecordAndDurationAreExplained) {
    const std::string needsName =
        "Name what the shortcut is for (1 to 256 bytes), for example: quillory-pad record Brush";
    const std::string badDuration = "is not a duration: use seconds up to 86400.";
    const struct {
        std::vector<std::string> arguments;
        std::string refusal;
    } cases[] = {
        {{"record"}, needsName},
        {{"record", ""}, needsName},
        {{"record", std::string(257, 'b')}, needsName},
        {{"record", "Brush", "Pen"}, "Unexpected argument “Pen”."},
        {{"commands", "File"}, "Unexpected argument “File”."},
        {{"draw", "--duration"}, "--duration needs a value."},
        {{"draw", "--duration", "0"}, "“0” " + badDuration},
        {{"draw", "--duration", "-3"}, "“-3” " + badDuration},
        {{"draw", "--duration", "inf"}, "“inf” " + badDuration},
        {{"draw", "--duration", "86401"}, "“86401” " + badDuration},
        {{"draw", "--duration", "10s"}, "“10s” " + badDuration},
        {{"key", "command+z", "--duration", "5"}, "--duration is for draw."},
        {{"commands", "--duration", "5"}, "--duration is for draw."},
        {{"draw", "--strokes", "0"}, "--strokes 0 needs --duration."},
    };
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(refusal(arguments), expected) << arguments.front();
    }
    EXPECT_EQ(parsed({"record", std::string(256, 'b')}).recordName.size(), 256u);
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
