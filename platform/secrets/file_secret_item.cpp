#include "platform/secrets/file_secret_item.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quillory {

namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool closeChecked() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool writeAll(int fd, ByteView data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool ensurePrivateFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return false;
    }
    return ::chmod(folder.c_str(), 0700) == 0;
}

}  // namespace

bool writeFileAtomically(const std::filesystem::path& path, ByteView contents) {
    const auto folder = path.parent_path();
    if (!ensurePrivateFolder(folder)) {
        return false;
    }
    auto temporary = path;
    temporary += ".tmp-XXXXXX";
    std::string pattern = temporary.string();
    FileDescriptor file(::mkostemp(pattern.data(), O_CLOEXEC));
    if (file.get() < 0) {
        return false;
    }
    const bool written = ::fchmod(file.get(), 0600) == 0 && writeAll(file.get(), contents) &&
                         ::fsync(file.get()) == 0 && file.closeChecked();
    if (!written || ::rename(pattern.c_str(), path.c_str()) != 0) {
        ::unlink(pattern.c_str());
        return false;
    }
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return directory.get() >= 0 && ::fsync(directory.get()) == 0;
}

FileSecretItem::FileSecretItem(std::filesystem::path path) : path_(std::move(path)) {}

SecretRead FileSecretItem::read() {
    FileDescriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return {errno == ENOENT ? SecretStatus::notFound : SecretStatus::unavailable, {}};
    }
    SecretRead result{SecretStatus::ok, {}};
    std::uint8_t chunk[4096];
    for (;;) {
        const ssize_t count = ::read(file.get(), chunk, sizeof chunk);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {SecretStatus::unavailable, {}};
        }
        if (count == 0) {
            return result;
        }
        result.value.insert(result.value.end(), chunk, chunk + count);
    }
}

SecretStatus FileSecretItem::add(ByteView value) {
    std::error_code error;
    if (std::filesystem::exists(path_, error)) {
        return SecretStatus::writeFailed;
    }
    return writeFileAtomically(path_, value) ? SecretStatus::ok : SecretStatus::writeFailed;
}

SecretStatus FileSecretItem::update(ByteView value) {
    return writeFileAtomically(path_, value) ? SecretStatus::ok : SecretStatus::writeFailed;
}

std::string FileSecretItem::location() const {
    return path_.string();
}

}  // namespace quillory
