#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "platform/result/result.h"

namespace quillory {

// Starts `program` again once process `waitFor` has exited: a detached "/bin/sh" (its own
// session, stdio on /dev/null, no other descriptor, never our zombie) polls every 0.2 s, then
// execs the program, which travels as its own argument so that spaces stay intact. Fails when
// the watcher could not be started.
Result<void, std::string> startRelaunchWatcher(pid_t waitFor, const std::filesystem::path& program,
                                               const char* shell = "/bin/sh");

// This process, relaunched as the executable it was started from.
Result<void, std::string> startRelaunchWatcher();

}  // namespace quillory
