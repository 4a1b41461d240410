#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/link/device_trust_store.h"

namespace quillory::bench {

// The host's and the command-line tablet's identities in this environment's stores, made to
// trust each other as a finished pairing would; a sentence on failure. The application must not
// be running yet: it reads its store once at start.
struct MutualTrust {
    std::shared_ptr<DeviceTrustStore> pad;
    std::string hostFingerprint;
    std::string error;
};
MutualTrust trustPadTool();

// `quillory --test-events` started by this process, its output in a file; stopped with SIGTERM
// when destroyed.
class RunningQuillory {
  public:
    static std::unique_ptr<RunningQuillory> start(const std::string& path, const std::string& log,
                                                  std::string& error);
    ~RunningQuillory();

    // The port the application listens on for tablets, once it does; none after `seconds`.
    std::optional<std::uint16_t> waitForListener(double seconds) const;
    pid_t pid() const { return pid_; }

  private:
    explicit RunningQuillory(pid_t pid) : pid_(pid) {}
    // True once waitpid has collected the process: its id may belong to another one by then.
    bool reaped(int options) const;

    pid_t pid_;
    mutable bool reaped_ = false;
};

// A TCP port this process listens on, read from procfs; none when there is none yet.
std::optional<std::uint16_t> listeningPort(pid_t pid);

}  // namespace quillory::bench
