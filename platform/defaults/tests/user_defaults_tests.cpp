#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#include <vector>

#include "platform/defaults/user_defaults.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch_directory.h"

namespace quillory {
namespace {

std::string firstLine(const std::filesystem::path& file) {
    std::string line;
    std::getline(std::ifstream(file, std::ios::binary), line);
    return line;
}

class FileUserDefaultsTest : public ::testing::Test {
  protected:
    const ScratchDirectory scratch;
    const std::filesystem::path path = scratch.path() / "config" / "defaults.json";
};

TEST_F(FileUserDefaultsTest, KeepsTypesAcrossReopen) {
    const auto values = nlohmann::json::parse(
        R"({"flag":true,"count":3,"whole":3.0,"ratio":0.25,"name":"Tablet",)"
        R"("huge":18446744073709551615,"nested":{"presets":[{"name":"Ink","size":2.5}],"on":false}})");
    FileUserDefaults writer(path);
    for (const auto& [key, value] : values.items()) {
        writer.set(key, value);
    }
    const FileUserDefaults store(path);
    for (const auto& [key, value] : values.items()) {
        // The text tells 3 from 3.0 and true from 1.
        EXPECT_EQ(store.value(key).value_or(nullptr).dump(), value.dump());
    }
    EXPECT_EQ(store.intValue("whole"), 3);
    EXPECT_FALSE(store.intValue("ratio"));
    EXPECT_FALSE(store.intValue("huge"));
    // No conversions between kinds: a string is not a bool, a bool is not a number.
    EXPECT_FALSE(store.boolValue("name"));
    EXPECT_FALSE(store.intValue("flag"));
    EXPECT_FALSE(store.stringValue("count"));
}

// The child rewrites a large document until it is killed; whenever that lands, the file on disk
// must still be one complete document.
TEST_F(FileUserDefaultsTest, KilledWriterLeavesWholeDocument) {
    FileUserDefaults(path).set("before", true);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        FileUserDefaults store(path);
        const std::string blob(1 << 20, 'x');
        for (int round = 1;; ++round) {
            store.set("blob", blob);
            store.set("round", round);
            if (round == 2 && write(ready[1], "r", 1) != 1) {
                _exit(1);
            }
        }
    }
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    close(ready[0]);
    close(ready[1]);

    FileUserDefaults store(path);
    EXPECT_EQ(store.boolValue("before"), true);
    EXPECT_GE(store.intValue("round").value_or(0), 2);
    EXPECT_EQ(store.stringValue("blob").value_or("").size(), 1u << 20);
    store.set("after", true);
    EXPECT_EQ(FileUserDefaults(path).boolValue("after"), true);
}

TEST_F(FileUserDefaultsTest, DamagedOrUnwritableFileLosesNothing) {
    FileUserDefaults store(path);
    store.set("known", true);
    const std::string damaged = "{\"known\": tru";
    std::ofstream(path, std::ios::binary) << damaged;
    // Reading leaves the damaged file alone; the next write keeps it aside.
    EXPECT_EQ(store.boolValue("known"), true);
    EXPECT_EQ(firstLine(path), damaged);
    store.set("added", 1);
    std::vector<std::string> aside;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
        if (entry.path().filename().string().starts_with("defaults.json.corrupt-")) {
            aside.push_back(firstLine(entry.path()));
        }
    }
    EXPECT_EQ(aside, std::vector<std::string>{damaged});

    // A full disk makes the next write fail before the rename: the old file stays, and the change
    // is retried with the next one.
    {
        const FileSizeLimit full(16);
        store.set("late", 2);
    }
    EXPECT_FALSE(FileUserDefaults(path).value("late"));
    store.set("next", 3);
    const FileUserDefaults reopened(path);
    EXPECT_EQ(reopened.boolValue("known"), true);
    EXPECT_EQ(reopened.intValue("added"), 1);
    EXPECT_EQ(reopened.intValue("late"), 2);
    EXPECT_EQ(reopened.intValue("next"), 3);
}

// Processes and threads write their own keys at once; threads share one store or open their own
// as another process would. A store opened before sees the others' changes, a removal included.
TEST_F(FileUserDefaultsTest, ConcurrentWritersLoseNoKey) {
    FileUserDefaults shared(path);
    shared.set("gone", 1);
    const auto writeKeys = [](UserDefaults& store, int writer) {
        for (int key = writer * 20; key < writer * 20 + 20; ++key) {
            store.set(std::to_string(key), key);
        }
    };
    std::vector<pid_t> children;
    for (int process = 0; process < 4; ++process) {
        const pid_t child = fork();
        if (child == 0) {
            FileUserDefaults store(path);
            writeKeys(store, process);
            store.remove(process == 0 ? "gone" : "absent");
            _exit(0);
        }
        children.push_back(child);
    }
    std::vector<std::jthread> threads;
    for (int thread = 4; thread < 10; ++thread) {
        threads.emplace_back([&, thread] {
            FileUserDefaults own(path);
            writeKeys(thread % 2 == 1 ? own : shared, thread);
        });
    }
    threads.clear();  // joins them
    for (const pid_t child : children) {
        int status = -1;
        EXPECT_TRUE(waitpid(child, &status, 0) == child && status == 0);
    }
    EXPECT_FALSE(shared.value("gone"));
    const FileUserDefaults reopened(path);
    for (int key = 0; key < 10 * 20; ++key) {
        EXPECT_EQ(reopened.intValue(std::to_string(key)), key) << key;
    }
}

}  // namespace
}  // namespace quillory
