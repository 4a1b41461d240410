#include "app/studio/bench/glass_bench_process.h"

#include <gtest/gtest.h>

#include <mutex>

namespace quillory::bench {
namespace {

std::vector<std::string> run(const std::string& script, const std::vector<std::string>& input) {
    std::mutex mutex;
    std::vector<std::string> lines;
    BenchProcess process({"/bin/sh", "-c", script}, [&](const std::string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    });
    EXPECT_TRUE(process.running());
    for (const auto& line : input) {
        process.send(line);
    }
    process.finish();
    EXPECT_FALSE(process.running());
    return lines;
}

TEST(BenchProcess, HandsOnEveryCompleteLineItWritesUntilItEnds) {
    struct Case {
        const char* name;
        std::string script;
        std::vector<std::string> input;
        std::vector<std::string> lines;
    };
    const std::string big(100'000, 'x');  // longer than one read
    const Case cases[] = {
        {"echoes its input until stdin closes", "cat", {"one", "two"}, {"one", "two"}},
        {"lines written in pieces", "printf 'a'; printf 'b\\nc'; printf 'd\\n'", {}, {"ab", "cd"}},
        {"an unfinished last line is dropped", "printf 'whole\\npart'", {}, {"whole"}},
        {"empty lines are lines", "printf '\\n\\nx\\n'", {}, {"", "", "x"}},
        {"a line longer than a read", "printf '%s\\n' " + big, {}, {big}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.script, c.input), c.lines) << c.name;
    }
}

TEST(BenchProcess, AProgramThatCannotStartEndsAtOnce) {
    BenchProcess process({"/nonexistent/program"}, [](const std::string&) {});
    EXPECT_FALSE(process.running());
    process.finish();
}

}  // namespace
}  // namespace quillory::bench
