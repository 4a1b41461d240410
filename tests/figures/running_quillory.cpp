#include "tests/figures/running_quillory.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "tools/pad/pad_session.h"
#include "tools/pad/remembered_hosts.h"

extern char** environ;

namespace quillory::bench {

MutualTrust trustPadTool() {
    MutualTrust trust;
    auto host = DeviceTrustStore::open(hostTrustStoreLocation());
    const auto folder = pad::RememberedHosts::defaultPath().parent_path();
    auto padStore = DeviceTrustStore::open(
        TrustStoreLocation{pad::PadSession::trustService, "identity-and-peers", folder});
    if (!host.store || !padStore.store) {
        trust.error =
            std::string("a trust store did not open: ") +
            describe(host.error.value_or(padStore.error.value_or(StoreError::unavailable)));
        return trust;
    }
    const auto hostKey = host.store->identityPublicKey();
    const auto padKey = padStore.store->identityPublicKey();
    const auto failed =
        host.store->remember(RememberedDevice{Bytes(padKey.begin(), padKey.end()), "Quillory Pad"});
    const auto padFailed = padStore.store->remember(
        RememberedDevice{Bytes(hostKey.begin(), hostKey.end()), "Quillory"});
    if (failed || padFailed) {
        trust.error = std::string("a trust store could not be written: ") +
                      describe(failed.value_or(*padFailed));
        return trust;
    }
    trust.pad = std::move(padStore.store);
    trust.hostFingerprint = host.store->fingerprint();
    return trust;
}

std::unique_ptr<RunningQuillory> RunningQuillory::start(const std::string& path,
                                                        const std::string& log,
                                                        std::string& error) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::string events = "--test-events";
    char* arguments[] = {const_cast<char*>(path.c_str()), events.data(), nullptr};
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        error = path + ": " + std::strerror(failed);
        return nullptr;
    }
    return std::unique_ptr<RunningQuillory>(new RunningQuillory(pid));
}

RunningQuillory::~RunningQuillory() {
    if (reaped(WNOHANG)) {
        return;
    }
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!reaped(WNOHANG)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            reaped(0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool RunningQuillory::reaped(int options) const {
    int status = 0;
    if (!reaped_ && ::waitpid(pid_, &status, options) == pid_) {
        reaped_ = true;
    }
    return reaped_;
}

std::optional<std::uint16_t> RunningQuillory::waitForListener(double seconds) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (const auto port = listeningPort(pid_)) {
            return port;
        }
        if (reaped(WNOHANG)) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
}

std::optional<std::uint16_t> listeningPort(pid_t pid) {
    const std::filesystem::path process = "/proc/" + std::to_string(pid);
    std::set<std::string> sockets;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(process / "fd", error)) {
        const auto target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.starts_with("socket:[")) {
            sockets.insert(target.substr(8, target.size() - 9));
        }
    }
    for (const char* table : {"net/tcp", "net/tcp6"}) {
        std::ifstream file(process / table);
        std::string line;
        std::getline(file, line);  // the header
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                timeout >> inode;
            constexpr const char* listening = "0A";
            if (state == listening && sockets.contains(inode)) {
                return static_cast<std::uint16_t>(
                    std::stoul(local.substr(local.rfind(':') + 1), nullptr, 16));
            }
        }
    }
    return std::nullopt;
}

}  // namespace quillory::bench
