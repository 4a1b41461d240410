#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/secrets/backend_marker.h"
#include "platform/secrets/file_secret_item.h"
#include "platform/secrets/secret_service_item.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch_directory.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

TEST(FileSecretItem, RoundTripInPrivateFiles) {
    ScratchDirectory folder;
    const auto path = folder.path() / "nested" / "item.json";
    FileSecretItem item(path);
    EXPECT_EQ(item.read().status, SecretStatus::notFound);
    ASSERT_EQ(item.add(bytesOf("first")), SecretStatus::ok);
    // Adding never replaces an item that exists.
    EXPECT_EQ(item.add(bytesOf("other")), SecretStatus::writeFailed);
    ASSERT_EQ(item.update(bytesOf("second")), SecretStatus::ok);
    const auto read = item.read();
    EXPECT_EQ(read.status, SecretStatus::ok);
    EXPECT_EQ(read.value, bytesOf("second"));
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(path.parent_path()), 0700u);
    // Nothing but the item itself is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator()),
              1);
}

TEST(FileSecretItem, FailedWriteKeepsTheOldContents) {
    ScratchDirectory folder;
    const auto path = folder.path() / "item.json";
    FileSecretItem item(path);
    ASSERT_EQ(item.add(bytesOf("kept")), SecretStatus::ok);
    {
        const FileSizeLimit full(2);
        EXPECT_EQ(item.update(bytesOf("lost")), SecretStatus::writeFailed);
    }
    EXPECT_EQ(item.read().value, bytesOf("kept"));
}

TEST(BackendMarker, RecordsTheBackendAndRefusesGarbage) {
    ScratchDirectory folder;
    const auto path = folder.path() / "trust-backend";
    EXPECT_EQ(readBackendMarker(path).state, BackendMarker::State::absent);
    ASSERT_TRUE(writeBackendMarker(path, SecretBackend::file));
    auto marker = readBackendMarker(path);
    EXPECT_EQ(marker.state, BackendMarker::State::present);
    EXPECT_EQ(marker.backend, SecretBackend::file);
    ASSERT_TRUE(writeBackendMarker(path, SecretBackend::secretService));
    EXPECT_EQ(readBackendMarker(path).backend, SecretBackend::secretService);
    FileSecretItem(path).update(bytesOf("keychain\n"));
    EXPECT_EQ(readBackendMarker(path).state, BackendMarker::State::unreadable);
}

bool secretServiceUnlocked() {
    return probeSecretService(2.0) == SecretServiceState::unlocked;
}

TEST(SecretServiceItem, RoundTripKeepsServicesApart) {
    if (!secretServiceUnlocked()) {
        GTEST_SKIP() << "no unlocked Secret Service answers on the session bus";
    }
    const auto suffix = std::to_string(::getpid());
    SecretServiceItem first("com.quillory.test.first." + suffix, "account", "Quillory test", 2.0);
    SecretServiceItem second("com.quillory.test.second." + suffix, "account", "Quillory test", 2.0);
    EXPECT_EQ(first.read().status, SecretStatus::notFound);
    ASSERT_EQ(first.add(bytesOf("one")), SecretStatus::ok);
    ASSERT_EQ(second.add(bytesOf("two")), SecretStatus::ok);
    ASSERT_EQ(first.update(bytesOf("one again")), SecretStatus::ok);
    EXPECT_EQ(first.read().value, bytesOf("one again"));
    EXPECT_EQ(second.read().value, bytesOf("two"));
}

// Runs only inside a session whose keyring is locked (see the test's registration).
TEST(LockedKeyring, AnswersUnavailableWithoutPromptInTime) {
    if (!std::getenv("QUILLORY_EXPECT_LOCKED_KEYRING")) {
        GTEST_SKIP() << "needs a locked keyring";
    }
    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(probeSecretService(2.0), SecretServiceState::unlocked);
    SecretServiceItem item("com.quillory.test.locked", "account", "Quillory test", 2.0);
    EXPECT_NE(item.read().status, SecretStatus::ok);
    EXPECT_EQ(item.update(bytesOf("never")), SecretStatus::unavailable);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed.count(), 3 * 2.0 + 1.0);
}

}  // namespace
}  // namespace quillory
