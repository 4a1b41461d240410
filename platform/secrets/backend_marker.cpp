#include "platform/secrets/backend_marker.h"

#include <fstream>
#include <string>
#include <system_error>

#include "platform/files/atomic_write.h"

namespace quillory {

namespace {

constexpr std::string_view secretServiceText = "secret-service";
constexpr std::string_view fileText = "file";

}  // namespace

BackendMarker readBackendMarker(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return {error ? BackendMarker::State::unreadable : BackendMarker::State::absent, {}};
    }
    std::ifstream stream(path);
    std::string text;
    if (!stream || !std::getline(stream, text)) {
        return {BackendMarker::State::unreadable, {}};
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\t')) {
        text.pop_back();
    }
    if (text == secretServiceText) {
        return {BackendMarker::State::present, SecretBackend::secretService};
    }
    if (text == fileText) {
        return {BackendMarker::State::present, SecretBackend::file};
    }
    return {BackendMarker::State::unreadable, {}};
}

bool writeBackendMarker(const std::filesystem::path& path, SecretBackend backend) {
    std::string text(backend == SecretBackend::file ? fileText : secretServiceText);
    text += '\n';
    return !writeFileAtomically(path, text, 0600, 0700);
}

}  // namespace quillory
