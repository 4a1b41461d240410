#include "app/shell/mac_login_item.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSignalSpy>
#include <fstream>

#include "platform/desktop/desktop_entry_file.h"
#include "tests/support/other_user.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;

class LoginItemTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::path(testing::TempDir()) /
                ("quillory-login-" + std::to_string(getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "system/autostart");
        program_ = root_ / "My Apps/100% quillory";
        fs::create_directories(program_.parent_path());
        std::ofstream(program_) << "#!/bin/sh\n";
        fs::permissions(program_, fs::perms::owner_all);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(userFolder(), fs::perms::owner_all, ignored);
        fs::remove_all(root_, ignored);
    }

    fs::path userFolder() const { return root_ / "config/autostart"; }
    fs::path userEntry() const { return userFolder() / MacLoginItem::fileName; }
    fs::path systemEntry() const { return root_ / "system/autostart" / MacLoginItem::fileName; }
    MacLoginItem::Locations locations() const {
        return {userFolder(), {root_ / "missing", root_ / "system/autostart"}, program_};
    }
    static void write(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    fs::path root_;
    fs::path program_;
};

TEST_F(LoginItemTest, EnableWritesAnEntryThatStartsThisProgram) {
    MacLoginItem item(locations());
    EXPECT_FALSE(item.enabled());
    EXPECT_FALSE(item.needsApproval());
    QSignalSpy enabled(&item, &LoginItemControl::enabledChanged);
    QSignalSpy error(&item, &LoginItemControl::errorChanged);

    item.setEnabled(true);
    EXPECT_TRUE(item.enabled());
    EXPECT_FALSE(item.needsApproval());
    EXPECT_EQ(enabled.count(), 1);
    EXPECT_EQ(error.count(), 0);
    const auto file = DesktopEntryFile::read(userEntry());
    ASSERT_TRUE(file);
    EXPECT_EQ(file.value().exec(), std::vector<std::string>{program_.string()});
    EXPECT_EQ(file.value().boolean("X-GNOME-Autostart-enabled"), true);
    EXPECT_EQ(fs::status(userEntry()).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(userFolder()).permissions(), fs::perms(0700));

    item.setEnabled(true);
    EXPECT_EQ(enabled.count(), 1);
    item.setEnabled(false);
    EXPECT_FALSE(item.enabled());
    EXPECT_FALSE(fs::exists(userEntry()));
    // Removing what is not there is what was asked for.
    item.setEnabled(false);
    EXPECT_EQ(item.error(), "");
    EXPECT_EQ(enabled.count(), 2);
}

TEST_F(LoginItemTest, DisablingASystemEntryHidesItForThisUser) {
    write(systemEntry(), "[Desktop Entry]\nType=Application\nName=Quillory\nExec=sh\n");
    MacLoginItem item(locations());
    EXPECT_TRUE(item.enabled());
    item.setEnabled(false);
    EXPECT_FALSE(item.enabled());
    EXPECT_TRUE(fs::exists(systemEntry()));
    EXPECT_EQ(DesktopEntryFile::read(userEntry()).value().boolean("Hidden"), true);
    item.setEnabled(true);
    EXPECT_TRUE(item.enabled());
}

TEST_F(LoginItemTest, StatusFollowsTheEntryOnDisk) {
    const std::string program = program_.string();
    const struct {
        const char* what;
        std::string user;
        std::string system;
        MacLoginItem::Status status;
    } cases[] = {
        {"none", "", "", MacLoginItem::Status::notRegistered},
        {"ours", "[Desktop Entry]\nExec=" + joinExec({program}), "", MacLoginItem::Status::enabled},
        {"on $PATH", "[Desktop Entry]\nExec=sh -c true", "", MacLoginItem::Status::enabled},
        {"system only", "", "[Desktop Entry]\nExec=sh", MacLoginItem::Status::enabled},
        {"user over system", "[Desktop Entry]\nExec=sh\nHidden=true", "[Desktop Entry]\nExec=sh",
         MacLoginItem::Status::notRegistered},
        {"switched off", "[Desktop Entry]\nExec=sh\nX-GNOME-Autostart-enabled=false", "",
         MacLoginItem::Status::notRegistered},
        {"missing program", "[Desktop Entry]\nExec=/nowhere/quillory", "",
         MacLoginItem::Status::notFound},
        {"not executable", "[Desktop Entry]\nExec=" + joinExec({(root_ / "plain").string()}), "",
         MacLoginItem::Status::notFound},
        {"no Exec", "[Desktop Entry]\nName=Quillory", "", MacLoginItem::Status::notFound},
        {"broken Exec", "[Desktop Entry]\nExec=\"sh", "", MacLoginItem::Status::notFound},
        {"garbled", "\x01\x02 garbage", "", MacLoginItem::Status::notFound},
    };
    write(root_ / "plain", "#!/bin/sh\n");
    fs::permissions(root_ / "plain", fs::perms(0644));
    for (const auto& c : cases) {
        fs::remove(userEntry());
        fs::remove(systemEntry());
        if (!c.user.empty()) {
            write(userEntry(), c.user);
        }
        if (!c.system.empty()) {
            write(systemEntry(), c.system);
        }
        MacLoginItem item(locations());
        EXPECT_EQ(item.status(), c.status) << c.what;
        EXPECT_EQ(item.enabled(), c.status == MacLoginItem::Status::enabled) << c.what;
    }
}

// The desktop's own launcher starts what the entry names. (GLib cannot start a program whose path
// holds a '%': it looks for the escaped name.)
TEST_F(LoginItemTest, TheSessionLauncherStartsTheEntry) {
    if (std::system("command -v gio >/dev/null") != 0) {
        GTEST_SKIP() << "gio is not installed";
    }
    const fs::path fifo = root_ / "started";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path program = root_ / "My Apps/quillory's \"probe\" $HOME";
    std::ofstream(program) << "#!/bin/sh\necho \"$0|$#\" >'" << fifo.string() << "'\n";
    fs::permissions(program, fs::perms::owner_all);
    MacLoginItem::Locations where = locations();
    where.executable = program;
    MacLoginItem item(where);
    item.setEnabled(true);
    ASSERT_TRUE(item.enabled());
    ASSERT_EQ(std::system(("gio launch '" + userEntry().string() + "'").c_str()), 0);
    std::ifstream in(fifo);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, program.string() + "|0");
}

// Root writes anywhere: the failing cases run as another user in a child process.
void dropRootIfAny() {
    if (geteuid() == 0 && (setgid(otherUser) != 0 || setuid(otherUser) != 0)) {
        std::exit(3);
    }
}

TEST_F(LoginItemTest, AReadOnlyFolderReportsTheFailureAndKeepsTheDiskState) {
    if (geteuid() == 0 && !otherUserExists()) {
        GTEST_SKIP() << "root of a user namespace with no other user writes anywhere";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    write(userEntry(), "[Desktop Entry]\nExec=sh\n");
    fs::permissions(userFolder().parent_path(), fs::perms(0755));
    fs::permissions(userFolder(), fs::perms(0555));
    EXPECT_EXIT(
        {
            dropRootIfAny();
            MacLoginItem item(locations());
            item.setEnabled(false);
            const bool removeFailed = item.error() == MacLoginItem::removeFailure &&
                                      item.enabled() && fs::exists(userEntry());
            std::error_code refused;
            fs::remove(userEntry(), refused);
            std::exit(removeFailed ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");

    fs::remove(userEntry());
    EXPECT_EXIT(
        {
            dropRootIfAny();
            MacLoginItem item(locations());
            item.setEnabled(true);
            const bool addFailed = item.error() == MacLoginItem::addFailure && !item.enabled() &&
                                   fs::directory_iterator(userFolder()) == fs::directory_iterator();
            // The next change clears the message.
            item.setEnabled(false);
            std::exit(addFailed && item.error().isEmpty() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quillory
