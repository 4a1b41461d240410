#include "platform/process/relaunch_watcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quillory {
namespace {

namespace fs = std::filesystem;

// The relaunched program is this test binary under a name with spaces. Started with
// QUILLORY_RELAUNCH_RECORD set, it writes what it found into that FIFO and exits.
constexpr const char* recordVariable = "QUILLORY_RELAUNCH_RECORD";
constexpr const char* parentVariable = "QUILLORY_RELAUNCH_PARENT";

// One line: the arguments, the open descriptors, whether the old parent still ran; then the
// session.
int record(const char* fifo, int argc, char** argv) {
    std::ostringstream out;
    out << argc << "|" << argv[0] << "|";
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(fds)) {
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != ::dirfd(fds)) {
                out << entry->d_name << " ";
            }
        }
        ::closedir(fds);
    }
    const pid_t parent = static_cast<pid_t>(std::atoi(std::getenv(parentVariable)));
    out << "|" << (::kill(parent, 0) == 0 ? "parent alive" : "parent gone") << "\n"
        << ::getsid(0) << "\n";
    std::ofstream(fifo) << out.str();
    return 0;
}

class RelaunchWatcher : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::path(testing::TempDir()) / ("quillory relaunch " + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "My Apps");
        program_ = folder_ / "My Apps/quillory probe";
        fs::create_symlink(fs::read_symlink("/proc/self/exe"), program_);
        fifo_ = folder_ / "record";
        ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0);
        // Orphans come to us, so that the test reaps the watcher and sees none left.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
    fs::path program_;
    fs::path fifo_;
};

TEST_F(RelaunchWatcher, StartsTheProgramOnceAfterTheParentExits) {
    int release[2];
    ASSERT_EQ(::pipe(release), 0);
    const pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        ::close(release[1]);
        // Descriptors the relaunched program must not inherit, close-on-exec or not.
        const int leaked = ::open("/dev/null", O_RDONLY);
        const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
        ::setenv(recordVariable, fifo_.c_str(), 1);
        ::setenv(parentVariable, std::to_string(::getpid()).c_str(), 1);
        const bool started = startRelaunchWatcher(::getpid(), program_).ok();
        // The middle child is reaped already: nothing of ours is left to become a zombie.
        const bool noChildren = ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
        char byte;
        while (::read(release[0], &byte, 1) > 0) {
        }
        ::_exit(started && noChildren && leaked >= 3 && socket >= 3 ? 0 : 1);
    }
    ::close(release[0]);
    ::close(release[1]);  // lets the parent exit
    int status = 0;
    ASSERT_EQ(::waitpid(parent, &status, 0), parent);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::ifstream in(fifo_);  // opens once the relaunched program writes
    std::string line;
    pid_t session = 0;
    std::getline(in, line);
    in >> session;
    EXPECT_EQ(line, "1|" + program_.string() + "|0 1 2 |parent gone");
    EXPECT_NE(session, ::getsid(0));

    // The relaunched program, reparented to us, is the only process left.
    int reaped = 0;
    for (pid_t pid; (pid = ::waitpid(-1, &status, 0)) > 0;) {
        ++reaped;
    }
    EXPECT_EQ(reaped, 1);
}

TEST_F(RelaunchWatcher, AMissingShellIsReported) {
    const auto started = startRelaunchWatcher(::getpid(), program_, "/nowhere/sh");
    ASSERT_FALSE(started);
    EXPECT_NE(started.error().find("/nowhere/sh"), std::string::npos) << started.error();
    // The failed watcher, orphaned to us as the subreaper, is gone once reaped.
    while (::waitpid(-1, nullptr, 0) > 0) {
    }
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    if (const char* fifo = std::getenv(quillory::recordVariable)) {
        return quillory::record(fifo, argc, argv);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
