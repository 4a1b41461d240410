// The grant script run directly, with /etc under a temporary root and stub modprobe and udevadm
// first on PATH: neither pkexec nor udev is involved.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillory {
namespace {

namespace fs = std::filesystem;

const fs::path grantFolder = QUILLORY_GRANT_SOURCE_DIR;

std::string contents(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class GrantScript : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::path(testing::TempDir()) /
                  ("quillory-grant-" + std::to_string(getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "stubs");
        fs::create_directories(folder_ / "root");
        // Each stub logs its arguments; udevadm fails for the subcommand named in FAIL_STEP.
        stub("modprobe", "exit 1");  // as when uinput is built in
        stub("udevadm", "[ \"$1\" = \"${FAIL_STEP:-}\" ] && exit 1; exit 0");
    }
    void TearDown() override { fs::remove_all(folder_); }

    void stub(const std::string& name, const std::string& body) {
        const fs::path path = folder_ / "stubs" / name;
        std::ofstream(path) << "#!/bin/sh\necho \"" << name << " $*\" >>\"" << log().string()
                            << "\"\n"
                            << body << "\n";
        fs::permissions(path, fs::perms(0755));
    }
    fs::path log() const { return folder_ / "calls.log"; }

    // The script's exit status; `path` follows the stubs on PATH.
    int run(const fs::path& root, const std::string& extra = "",
            const std::string& path = ":/usr/bin:/bin") {
        const std::string command =
            "env PATH=\"" + (folder_ / "stubs").string() + path + "\" QUILLORY_GRANT_ROOT=\"" +
            root.string() + "\" " + extra + " /bin/sh \"" +
            (grantFolder / "quillory-grant-uinput").string() + "\" >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path folder_;
};

TEST_F(GrantScript, InstallsExactlyTheRuleAndAppliesIt) {
    const fs::path rule = folder_ / "root/etc/udev/rules.d/70-quillory-uinput.rules";
    const std::string expectedCalls =
        "modprobe uinput\n"
        "udevadm control --reload\n"
        "udevadm trigger --action=change --subsystem-match=misc --sysname-match=uinput\n"
        "udevadm settle\n";
    for (int round = 1; round <= 2; ++round) {
        fs::remove(log());
        ASSERT_EQ(run(folder_ / "root"), 0) << "round " << round;
        EXPECT_EQ(contents(rule), contents(grantFolder / "70-quillory-uinput.rules"));
        EXPECT_EQ(fs::status(rule).permissions(), fs::perms(0644));
        EXPECT_EQ(contents(log()), expectedCalls) << "round " << round;
        // Nothing but the rule is left in the folder.
        EXPECT_EQ(std::distance(fs::directory_iterator(rule.parent_path()), {}), 1);
    }
}

TEST_F(GrantScript, FailuresExitWithItsOwnCodes) {
    std::ofstream(folder_ / "a file") << "not a folder";
    const struct {
        const char* what;
        fs::path root;
        std::string extra;
    } cases[] = {
        {"unwritable root", folder_ / "a file", ""},
        {"reload fails", folder_ / "root", "FAIL_STEP=control"},
        {"trigger fails", folder_ / "root", "FAIL_STEP=trigger"},
        {"settle fails", folder_ / "root", "FAIL_STEP=settle"},
    };
    for (const auto& c : cases) {
        const int code = run(c.root, c.extra);
        EXPECT_GE(code, 1) << c.what;
        EXPECT_LE(code, 9) << c.what;
    }
    // Without udevadm the shell's "not found" (127) must not pass for pkexec's refusal.
    fs::remove(folder_ / "stubs/udevadm");
    for (const char* tool : {"mkdir", "mktemp", "chmod", "mv", "rm"}) {
        fs::create_symlink(fs::path("/bin") / tool, folder_ / "stubs" / tool);
    }
    EXPECT_EQ(run(folder_ / "root", "", ""), 6);
}

}  // namespace
}  // namespace quillory
