#include "platform/defaults/user_defaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

#include "platform/files/atomic_write.h"
#include "platform/files/unique_fd.h"
#include "platform/files/xdg_dirs.h"
#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("quillory", "defaults");
    return instance;
}

std::filesystem::path withSuffix(const std::filesystem::path& path, const std::string& suffix) {
    return path.parent_path() / (path.filename().string() + suffix);
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
    return xdgConfigHome() / "quillory" / "defaults.json";
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
    const UniqueFd file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
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
    const UniqueFd lockFile(
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
    // Invalid UTF-8 in a string must not make the whole document unwritable.
    const std::string text =
        document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    // A folder that could not be synced still holds the new document.
    const auto error = writeFileAtomically(path_, text, 0600, 0777);
    if (error && error->step != FileStep::syncFolder) {
        logger().error("cannot save %s (%s)", path_.c_str(), describe(*error).c_str());
        return false;
    }
    // Taken under the lock, so this is the version just written.
    struct stat status {};
    if (::stat(path_.c_str(), &status) == 0) {
        version_ = versionOf<FileVersion>(status);
    } else {
        version_.reset();
    }
    values_ = document;
    corrupt_ = false;
    return true;
}

}  // namespace quillory
