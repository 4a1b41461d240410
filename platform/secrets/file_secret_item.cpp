#include "platform/secrets/file_secret_item.h"

#include <fcntl.h>

#include <cerrno>
#include <string_view>
#include <system_error>

#include "platform/files/atomic_write.h"
#include "platform/files/unique_fd.h"

namespace quillory {

namespace {

SecretStatus writePrivately(const std::filesystem::path& path, ByteView value) {
    const std::string_view contents(reinterpret_cast<const char*>(value.data()), value.size());
    return writeFileAtomically(path, contents, 0600, 0700) ? SecretStatus::writeFailed
                                                           : SecretStatus::ok;
}

}  // namespace

FileSecretItem::FileSecretItem(std::filesystem::path path) : path_(std::move(path)) {}

SecretRead FileSecretItem::read() {
    const UniqueFd file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return {errno == ENOENT ? SecretStatus::notFound : SecretStatus::unavailable, {}};
    }
    const auto text = readAll(file.get());
    if (!text) {
        return {SecretStatus::unavailable, {}};
    }
    return {SecretStatus::ok, Bytes(text->begin(), text->end())};
}

SecretStatus FileSecretItem::add(ByteView value) {
    std::error_code error;
    if (std::filesystem::exists(path_, error)) {
        return SecretStatus::writeFailed;
    }
    return writePrivately(path_, value);
}

SecretStatus FileSecretItem::update(ByteView value) {
    return writePrivately(path_, value);
}

std::string FileSecretItem::location() const {
    return path_.string();
}

}  // namespace quillory
