#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "platform/files/atomic_write.h"
#include "platform/files/xdg_dirs.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch_directory.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 0777;
}

std::string contentsOf(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriteFileAtomically, CreatesWithModesAndNarrowsOnlyWiderFolders) {
    const ScratchDirectory scratch;
    const auto secret = scratch.path() / "parent" / "private" / "item";
    ASSERT_EQ(writeFileAtomically(secret, "first", 0600, 0700), std::nullopt);
    ASSERT_EQ(writeFileAtomically(secret, "second", 0600, 0700), std::nullopt);
    EXPECT_EQ(contentsOf(secret), "second");
    EXPECT_EQ(modeOf(secret), 0600u);
    EXPECT_EQ(modeOf(secret.parent_path()), 0700u);
    EXPECT_EQ(namesIn(secret.parent_path()), std::vector<std::string>{"item"});

    const auto shared = scratch.path() / "shared";
    fs::create_directory(shared);
    ::chmod(shared.c_str(), 0755);
    ASSERT_EQ(writeFileAtomically(shared / "a", "", 0644, 0777), std::nullopt);
    EXPECT_EQ(modeOf(shared), 0755u);
    EXPECT_EQ(modeOf(shared / "a"), 0644u);
    ASSERT_EQ(writeFileAtomically(shared / "b", "", 0600, 0700), std::nullopt);
    EXPECT_EQ(modeOf(shared), 0700u);
}

// Each failure names its step and errno, removes the temporary file and keeps the old contents.
TEST(WriteFileAtomically, FailuresNameTheStepAndLeaveNothingBehind) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& folder)> arrange;
        FileError expected;
        bool skipForRoot = false;
    };
    const std::vector<Case> cases = {
        {"folder is a file",
         [](const fs::path& folder) { std::ofstream(folder / "blocked") << "x"; },
         {FileStep::createFolder, ENOTDIR}},
        {"unwritable folder",
         [](const fs::path& folder) { ::chmod(folder.c_str(), 0500); },
         {FileStep::createTemporary, EACCES},
         true},
        {"disk full", [](const fs::path&) {}, {FileStep::write, EFBIG}},
        {"target is a folder",
         [](const fs::path& folder) { fs::create_directories(folder / "target" / "inside"); },
         {FileStep::rename, EISDIR}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        if (test.skipForRoot && ::geteuid() == 0) {
            continue;
        }
        const ScratchDirectory scratch;
        const auto folder = scratch.path();
        const auto target = test.expected.step == FileStep::createFolder
                                ? folder / "blocked" / "target"
                                : folder / "target";
        if (test.expected.step != FileStep::rename) {
            std::ofstream(target) << "old";
        }
        test.arrange(folder);
        const auto before = namesIn(folder);
        std::optional<FileError> error;
        {
            const FileSizeLimit limit(test.expected.step == FileStep::write ? 4 : RLIM_INFINITY);
            error = writeFileAtomically(target, "new contents", 0600, 0700);
        }
        ::chmod(folder.c_str(), 0700);
        EXPECT_EQ(error, test.expected) << (error ? describe(*error) : "written");
        EXPECT_EQ(namesIn(folder), before);
        if (test.expected.step == FileStep::write) {
            EXPECT_EQ(contentsOf(target), "old");
        }
    }
    EXPECT_EQ(describe(FileError{FileStep::rename, ENOENT}), "rename: No such file or directory");
}

// Without syncing, a write is still all or nothing.
TEST(WriteFileAtomically, UnsyncedWritesReplaceWholeOrNotAtAll) {
    const ScratchDirectory scratch;
    const auto record = scratch.path() / "state" / "record";
    ASSERT_EQ(writeFileAtomically(record, "old", 0644, 0777, FileDurability::processCrash),
              std::nullopt);
    std::optional<FileError> error;
    {
        const FileSizeLimit limit(4);
        error =
            writeFileAtomically(record, "new contents", 0644, 0777, FileDurability::processCrash);
    }
    EXPECT_EQ(error, (FileError{FileStep::write, EFBIG}));
    EXPECT_EQ(contentsOf(record), "old");
    ASSERT_EQ(writeFileAtomically(record, "new", 0644, 0777, FileDurability::processCrash),
              std::nullopt);
    EXPECT_EQ(contentsOf(record), "new");
    EXPECT_EQ(modeOf(record), 0644u);
    EXPECT_EQ(namesIn(record.parent_path()), std::vector<std::string>{"record"});
}

// Sets environment variables for one test and restores them afterwards.
class Environment {
  public:
    void set(const char* name, const char* value) {
        if (!saved_.contains(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        }
    }

  private:
    std::map<std::string, std::optional<std::string>> saved_;
};

using Paths = std::vector<fs::path>;

TEST(XdgDirs, RelativeValuesAreIgnored) {
    Environment environment;
    environment.set("HOME", "/home/pen");
    environment.set("XDG_DATA_HOME", "/data");
    environment.set("XDG_CONFIG_HOME", "/config");
    environment.set("XDG_STATE_HOME", "/state");
    environment.set("XDG_CACHE_HOME", "/cache");
    environment.set("XDG_RUNTIME_DIR", "/run/user/7");
    environment.set("XDG_DATA_DIRS", "relative:/opt/share::/usr/share");
    environment.set("XDG_CONFIG_DIRS", "/etc/custom");
    EXPECT_EQ(xdgDataHome(), "/data");
    EXPECT_EQ(xdgConfigHome(), "/config");
    EXPECT_EQ(xdgStateHome(), "/state");
    EXPECT_EQ(xdgCacheHome(), "/cache");
    EXPECT_EQ(xdgRuntimeDir(), fs::path("/run/user/7"));
    EXPECT_EQ(xdgDataDirs(), (Paths{"/opt/share", "/usr/share"}));
    EXPECT_EQ(xdgConfigDirs(), Paths{"/etc/custom"});

    environment.set("XDG_DATA_HOME", "data");
    environment.set("XDG_CONFIG_HOME", "");
    environment.set("XDG_STATE_HOME", "state");
    environment.set("XDG_CACHE_HOME", nullptr);
    environment.set("XDG_RUNTIME_DIR", "run");
    environment.set("XDG_DATA_DIRS", "share:other");
    environment.set("XDG_CONFIG_DIRS", nullptr);
    EXPECT_EQ(xdgDataHome(), "/home/pen/.local/share");
    EXPECT_EQ(xdgConfigHome(), "/home/pen/.config");
    EXPECT_EQ(xdgStateHome(), "/home/pen/.local/state");
    EXPECT_EQ(xdgCacheHome(), "/home/pen/.cache");
    EXPECT_EQ(xdgRuntimeDir(), std::nullopt);
    EXPECT_EQ(xdgDataDirs(), (Paths{"/usr/local/share", "/usr/share"}));
    EXPECT_EQ(xdgConfigDirs(), Paths{"/etc/xdg"});
}

}  // namespace
}  // namespace quillory
