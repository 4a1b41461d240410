#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/defaults/tests/scratch_directory.h"
#include "platform/defaults/user_defaults.h"

namespace quillory {
namespace {

using nlohmann::json;

class FileUserDefaultsTest : public ::testing::Test {
  protected:
    void writeRaw(const std::filesystem::path& file, const std::string& text) const {
        std::ofstream(file, std::ios::binary) << text;
    }

    std::string readRaw(const std::filesystem::path& file) const {
        std::ostringstream text;
        text << std::ifstream(file, std::ios::binary).rdbuf();
        return text.str();
    }

    std::vector<std::filesystem::path> corruptCopies() const {
        std::vector<std::filesystem::path> copies;
        for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
            if (entry.path().filename().string().starts_with("defaults.json.corrupt-")) {
                copies.push_back(entry.path());
            }
        }
        return copies;
    }

    const ScratchDirectory scratch;
    const std::filesystem::path path = scratch.path() / "config" / "defaults.json";
};

TEST_F(FileUserDefaultsTest, KeepsTypesAcrossReopen) {
    const json nested = {{"presets", {{{"name", "Ink"}, {"size", 2.5}}}}, {"enabled", false}};
    {
        FileUserDefaults store(path);
        store.set("flag", true);
        store.set("count", 3);
        store.set("whole", 3.0);
        store.set("ratio", 0.25);
        store.set("name", "Tablet");
        store.set("huge", std::numeric_limits<std::uint64_t>::max());
        store.set("nested", nested);
        store.set("gone", 1);
        store.remove("gone");
    }
    const FileUserDefaults store(path);
    EXPECT_TRUE(store.value("flag")->is_boolean());
    EXPECT_EQ(store.boolValue("flag"), true);
    EXPECT_TRUE(store.value("count")->is_number_integer());
    EXPECT_EQ(store.intValue("count"), 3);
    EXPECT_EQ(store.doubleValue("count"), 3.0);
    EXPECT_TRUE(store.value("whole")->is_number_float());
    EXPECT_EQ(store.intValue("whole"), 3);
    EXPECT_EQ(store.doubleValue("ratio"), 0.25);
    EXPECT_FALSE(store.intValue("ratio"));
    EXPECT_FALSE(store.intValue("huge"));
    EXPECT_EQ(store.stringValue("name"), "Tablet");
    EXPECT_EQ(store.value("nested"), nested);
    EXPECT_FALSE(store.value("gone"));
    // No conversions between kinds: a string is not a bool, a bool is not a number.
    EXPECT_FALSE(store.boolValue("name"));
    EXPECT_FALSE(store.intValue("flag"));
    EXPECT_FALSE(store.stringValue("count"));
}

TEST_F(FileUserDefaultsTest, SeesChangesFromAnotherWriter) {
    FileUserDefaults first(path);
    FileUserDefaults second(path);
    EXPECT_FALSE(second.value("shared"));
    first.set("shared", 1);
    EXPECT_EQ(second.intValue("shared"), 1);
    second.set("shared", 2);
    EXPECT_EQ(first.intValue("shared"), 2);
    first.remove("shared");
    EXPECT_FALSE(second.value("shared"));
}

// The child rewrites a large document until it is killed; whenever that lands, the file on disk
// must still be one complete document.
TEST_F(FileUserDefaultsTest, KilledWriterLeavesWholeDocument) {
    FileUserDefaults(path).set("before", true);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
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
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(ready[0]);
    close(ready[1]);

    FileUserDefaults store(path);
    EXPECT_EQ(store.boolValue("before"), true);
    EXPECT_GE(store.intValue("round").value_or(0), 2);
    EXPECT_EQ(store.stringValue("blob").value_or("").size(), 1u << 20);
    store.set("after", true);
    EXPECT_EQ(FileUserDefaults(path).boolValue("after"), true);
    EXPECT_TRUE(corruptCopies().empty());
}

TEST_F(FileUserDefaultsTest, FailedWriteKeepsOldFileAndRetriesTheChange) {
    FileUserDefaults store(path);
    store.set("kept", 1);
    const std::string before = readRaw(path);
    // A directory where the temporary file goes makes the next write fail before the rename.
    std::filesystem::create_directory(path.string() + ".tmp");
    store.set("late", 2);
    EXPECT_EQ(readRaw(path), before);
    EXPECT_EQ(store.intValue("late"), 2);
    EXPECT_FALSE(FileUserDefaults(path).value("late"));

    std::filesystem::remove(path.string() + ".tmp");
    store.set("next", 3);
    const FileUserDefaults reopened(path);
    EXPECT_EQ(reopened.intValue("kept"), 1);
    EXPECT_EQ(reopened.intValue("late"), 2);
    EXPECT_EQ(reopened.intValue("next"), 3);
}

TEST_F(FileUserDefaultsTest, CorruptFileIsKeptAsideNotOverwritten) {
    FileUserDefaults store(path);
    store.set("known", true);
    const std::string damaged = "{\"known\": tru";
    writeRaw(path, damaged);
    // Reading leaves the damaged file alone and answers with the last good values.
    EXPECT_EQ(store.boolValue("known"), true);
    EXPECT_TRUE(corruptCopies().empty());

    store.set("added", 1);
    const auto copies = corruptCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(readRaw(copies[0]), damaged);
    const FileUserDefaults reopened(path);
    EXPECT_EQ(reopened.boolValue("known"), true);
    EXPECT_EQ(reopened.intValue("added"), 1);
}

TEST_F(FileUserDefaultsTest, ConcurrentProcessesLoseNoKey) {
    constexpr int kProcesses = 4;
    constexpr int kKeys = 25;
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileUserDefaults store(path);
            for (int index = 0; index < kKeys; ++index) {
                store.set("p" + std::to_string(process) + "-" + std::to_string(index), index);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const FileUserDefaults store(path);
    for (int process = 0; process < kProcesses; ++process) {
        for (int index = 0; index < kKeys; ++index) {
            const std::string key = "p" + std::to_string(process) + "-" + std::to_string(index);
            EXPECT_EQ(store.intValue(key), index) << key;
        }
    }
}

TEST_F(FileUserDefaultsTest, StandardStoreLivesUnderXdgConfigHome) {
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", scratch.path().c_str(), 1), 0);
    const auto store = UserDefaults::standard();
    EXPECT_EQ(store, UserDefaults::standard());
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "quillory"));
    store->set("launched", true);
    EXPECT_EQ(FileUserDefaults(scratch.path() / "quillory" / "defaults.json").boolValue("launched"),
              true);
}

}  // namespace
}  // namespace quillory
