#include "platform/defaults/user_defaults.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("quillory", "defaults");
    return instance;
}

// Closes the descriptor, and so releases any flock on it, when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Reports the error that close may give for a file just written.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

std::filesystem::path withSuffix(const std::filesystem::path& path, const std::string& suffix) {
    return path.parent_path() / (path.filename().string() + suffix);
}

bool writeAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t result = ::write(fd, text.data() + written, text.size() - written);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    return true;
}

std::optional<std::string> readAll(int fd) {
    std::string text;
    char buffer[16384];
    while (true) {
        const ssize_t result = ::read(fd, buffer, sizeof buffer);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result < 0) {
            return std::nullopt;
        }
        if (result == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(result));
    }
}

template <typename Version>
Version versionOf(const struct stat& status) {
    return Version{
        static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
        static_cast<std::int64_t>(status.st_size),
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

std::string utcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

std::filesystem::path standardPath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    if (configHome != nullptr && configHome[0] == '/') {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* entry = getpwuid(getuid());
            home = entry != nullptr ? entry->pw_dir : "/";
        }
        base = std::filesystem::path(home) / ".config";
    }
    return base / "quillory" / "defaults.json";
}

// No conversions between kinds: a string "true" is not a boolean.
template <typename T>
std::optional<T> valueOfKind(const UserDefaults& defaults, const std::string& key,
                             bool (nlohmann::json::*isKind)() const noexcept) {
    const auto stored = defaults.value(key);
    if (!stored || !((*stored).*isKind)()) {
        return std::nullopt;
    }
    return stored->get<T>();
}

}  // namespace

std::optional<bool> UserDefaults::boolValue(const std::string& key) const {
    return valueOfKind<bool>(*this, key, &nlohmann::json::is_boolean);
}

std::optional<std::string> UserDefaults::stringValue(const std::string& key) const {
    return valueOfKind<std::string>(*this, key, &nlohmann::json::is_string);
}

std::optional<double> UserDefaults::doubleValue(const std::string& key) const {
    return valueOfKind<double>(*this, key, &nlohmann::json::is_number);
}

std::optional<std::int64_t> UserDefaults::intValue(const std::string& key) const {
    const auto stored = value(key);
    if (!stored) {
        return std::nullopt;
    }
    if (stored->is_number_unsigned()) {
        const auto number = stored->get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    if (stored->is_number_integer()) {
        return stored->get<std::int64_t>();
    }
    // A hand-edited "3.0" still reads as 3; a fraction or an out-of-range number does not.
    if (stored->is_number_float()) {
        const double number = stored->get<double>();
        if (std::trunc(number) == number && number >= -0x1p63 && number < 0x1p63) {
            return static_cast<std::int64_t>(number);
        }
    }
    return std::nullopt;
}

std::shared_ptr<UserDefaults> UserDefaults::standard() {
    static const std::shared_ptr<UserDefaults> shared =
        std::make_shared<FileUserDefaults>(standardPath());
    return shared;
}

std::optional<nlohmann::json> MemoryUserDefaults::value(const std::string& key) const {
    const std::lock_guard lock(mutex_);
    const auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return *found;
}

void MemoryUserDefaults::set(const std::string& key, nlohmann::json value) {
    const std::lock_guard lock(mutex_);
    values_[key] = std::move(value);
}

void MemoryUserDefaults::remove(const std::string& key) {
    const std::lock_guard lock(mutex_);
    values_.erase(key);
}

FileUserDefaults::FileUserDefaults(std::filesystem::path path) : path_(std::move(path)) {}

FileUserDefaults::~FileUserDefaults() {
    const std::lock_guard lock(mutex_);
    if (!pending_.empty()) {
        flushLocked();
    }
}

std::optional<nlohmann::json> FileUserDefaults::value(const std::string& key) const {
    const std::lock_guard lock(mutex_);
    const auto change = pending_.find(key);
    if (change != pending_.end()) {
        return change->second;
    }
    reloadLocked();
    const auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return *found;
}

void FileUserDefaults::set(const std::string& key, nlohmann::json value) {
    change(key, std::move(value));
}

void FileUserDefaults::remove(const std::string& key) {
    change(key, std::nullopt);
}

void FileUserDefaults::change(const std::string& key, std::optional<nlohmann::json> value) {
    const std::lock_guard lock(mutex_);
    pending_[key] = std::move(value);
    flushLocked();
}

void FileUserDefaults::reloadLocked() const {
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) {
        if (errno == ENOENT) {
            values_ = nlohmann::json::object();
            version_.reset();
            corrupt_ = false;
        }
        return;
    }
    if (version_ == versionOf<FileVersion>(status)) {
        return;
    }
    const FileDescriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid() || ::fstat(file.get(), &status) != 0) {
        logger().error("cannot read %s: %s", path_.c_str(), std::strerror(errno));
        return;
    }
    const auto text = readAll(file.get());
    if (!text) {
        logger().error("cannot read %s: %s", path_.c_str(), std::strerror(errno));
        return;
    }
    version_ = versionOf<FileVersion>(status);
    nlohmann::json document = nlohmann::json::parse(*text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        // Keep the last good values; the next write moves this file aside before replacing it.
        logger().error("%s is not a JSON object; using the last values read", path_.c_str());
        corrupt_ = true;
        return;
    }
    values_ = std::move(document);
    corrupt_ = false;
}

bool FileUserDefaults::flushLocked() {
    std::error_code error;
    std::filesystem::create_directories(path_.parent_path(), error);
    if (error) {
        logger().error("cannot create %s: %s", path_.parent_path().c_str(),
                       error.message().c_str());
        return false;
    }
    // The document itself is replaced on every write, so the lock lives in a file of its own.
    const FileDescriptor lockFile(
        ::open(withSuffix(path_, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    int locked = -1;
    while (lockFile.valid() && (locked = ::flock(lockFile.get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        logger().error("cannot lock %s: %s", path_.c_str(), std::strerror(errno));
        return false;
    }
    reloadLocked();
    if (corrupt_) {
        moveCorruptAsideLocked();
    }
    nlohmann::json document = values_;
    for (auto& [key, value] : pending_) {
        if (value) {
            document[key] = *value;
        } else {
            document.erase(key);
        }
    }
    const bool unchanged = document == values_ && (version_ || document.empty());
    if (!unchanged && !writeLocked(document)) {
        return false;
    }
    pending_.clear();
    return true;
}

void FileUserDefaults::moveCorruptAsideLocked() {
    const std::filesystem::path base = withSuffix(path_, ".corrupt-" + utcTimestamp());
    std::filesystem::path aside = base;
    for (int attempt = 1; std::filesystem::exists(aside); ++attempt) {
        aside = withSuffix(base, "-" + std::to_string(attempt));
    }
    if (::rename(path_.c_str(), aside.c_str()) != 0) {
        logger().error("cannot move %s aside: %s", path_.c_str(), std::strerror(errno));
        return;
    }
    logger().error("%s did not parse; kept it as %s", path_.c_str(), aside.c_str());
    version_.reset();
    corrupt_ = false;
}

bool FileUserDefaults::writeLocked(const nlohmann::json& document) {
    const std::filesystem::path temporary = withSuffix(path_, ".tmp");
    // Invalid UTF-8 in a string must not make the whole document unwritable.
    const std::string text =
        document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const auto fail = [&](const char* step) {
        logger().error("cannot save %s (%s): %s", path_.c_str(), step, std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    };
    FileDescriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    struct stat status {};
    if (!file.valid()) {
        return fail("open");
    }
    if (!writeAll(file.get(), text) || ::fsync(file.get()) != 0 ||
        ::fstat(file.get(), &status) != 0 || !file.close()) {
        return fail("write");
    }
    if (::rename(temporary.c_str(), path_.c_str()) != 0) {
        return fail("rename");
    }
    // The rename itself is durable only once the directory is synced.
    const FileDescriptor directory(
        ::open(path_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.valid()) {
        ::fsync(directory.get());
    }
    values_ = document;
    version_ = versionOf<FileVersion>(status);
    corrupt_ = false;
    return true;
}

}  // namespace quillory
