#include "tools/policy-replay/policy_replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillory {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Every scripted scenario replays to its recorded decisions.
TEST(PolicyReplayTest, ScenariosMatchTheirGoldenFiles) {
    int scenarios = 0;
    for (const auto& entry : fs::directory_iterator(POLICY_REPLAY_DATA)) {
        if (entry.path().extension() != ".jsonl") {
            continue;
        }
        ++scenarios;
        std::ifstream input(entry.path());
        std::ostringstream output;
        std::ostringstream errors;
        PolicyReplay replay;
        EXPECT_TRUE(replay.run(input, output, errors)) << entry.path() << ": " << errors.str();
        fs::path expected = entry.path();
        expected.replace_extension(".expected");
        EXPECT_EQ(output.str(), readFile(expected)) << entry.path();
    }
    EXPECT_GE(scenarios, 6);
}

std::string errorOf(const std::string& script) {
    std::istringstream input(script);
    std::ostringstream output;
    std::ostringstream errors;
    PolicyReplay replay;
    EXPECT_FALSE(replay.run(input, output, errors)) << script;
    return errors.str();
}

TEST(PolicyReplayTest, BadRecordsAreNamedByLine) {
    const std::string configure =
        R"({"event": "configure", "now": 0, "preset": "balanced", "width": 1920, "height": 1080})"
        "\n";
    EXPECT_EQ(errorOf("{\"event\": \"deadline\", \"now\": 1}\n"),
              "line 1: \"deadline\" before the first \"configure\"\n");
    EXPECT_EQ(errorOf(configure + "\n{\"event\": \"observe\", \"now\": 1"),
              "line 3: not a JSON record\n");
    EXPECT_EQ(errorOf(configure + "[1, 2]\n"), "line 2: the record must be an object\n");
    EXPECT_EQ(errorOf(configure + "{\"event\": \"jump\", \"now\": 1}\n"),
              "line 2: unknown event \"jump\"\n");
    EXPECT_EQ(errorOf(configure + "{\"event\": \"deadline\", \"now\": \"soon\"}\n"),
              "line 2: \"now\" must be a number\n");
    EXPECT_EQ(errorOf(configure + "{\"event\": \"deadline\", \"now\": 1, \"nwo\": 2}\n"),
              "line 2: unknown member \"nwo\"\n");
    EXPECT_EQ(
        errorOf(R"({"event": "configure", "now": 0, "preset": "fast", "width": 1, "height": 1})"),
        "line 1: \"preset\" must be \"quality\", \"balanced\" or \"responsive\"\n");
    EXPECT_EQ(errorOf(configure + R"({"event": "applied", "now": 1, "point": {"width": 2.5}})"),
              "line 2: \"point.width\" must be an integer in range\n");
    EXPECT_EQ(errorOf(configure + R"({"event": "observe", "now": 1, "feedback": {"epoch": "x"}})"),
              "line 2: \"feedback.epoch\" must be a UUID\n");
    EXPECT_EQ(errorOf(readFile(fs::path(POLICY_REPLAY_DATA) / "missing-bitrate.bad")),
              "line 3: \"feedback.bitrate\" is missing\n");
}

TEST(PolicyReplayTest, OutputStopsAtTheFirstBadLine) {
    std::istringstream input(
        R"({"event": "configure", "now": 0, "preset": "quality", "width": 800, "height": 600})"
        "\n{\"event\": \"reset\", \"now\": 1}\n{\"event\": \"resume\", \"now\": 2}\n");
    std::ostringstream output;
    std::ostringstream errors;
    PolicyReplay replay;
    EXPECT_FALSE(replay.run(input, output, errors));
    EXPECT_EQ(errors.str(), "line 2: unknown member \"now\"\n");
    const std::string lines = output.str();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1);
}

}  // namespace
}  // namespace quillory
