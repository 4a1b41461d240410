#pragma once

#include <filesystem>

namespace quillory {

enum class SecretBackend { secretService, file };

struct BackendMarker {
    enum class State { absent, present, unreadable };
    State state = State::absent;
    SecretBackend backend = SecretBackend::secretService;
};

// A small file naming the backend an item was created in ("secret-service" or "file"), so the
// item is always looked for where it was made and never recreated elsewhere.
BackendMarker readBackendMarker(const std::filesystem::path& path);
bool writeBackendMarker(const std::filesystem::path& path, SecretBackend backend);

}  // namespace quillory
