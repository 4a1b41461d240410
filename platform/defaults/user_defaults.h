#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace quillory {

// Typed key-value preferences. Values are JSON, so booleans stay booleans.
// Every implementation is safe to use from any thread.
class UserDefaults {
  public:
    virtual ~UserDefaults() = default;

    virtual std::optional<nlohmann::json> value(const std::string& key) const = 0;
    virtual void set(const std::string& key, nlohmann::json value) = 0;
    virtual void remove(const std::string& key) = 0;

    std::optional<bool> boolValue(const std::string& key) const;
    std::optional<std::string> stringValue(const std::string& key) const;
    std::optional<double> doubleValue(const std::string& key) const;
    std::optional<std::int64_t> intValue(const std::string& key) const;

    // The user's store: $XDG_CONFIG_HOME/quillory/defaults.json.
    static std::shared_ptr<UserDefaults> standard();
};

// One JSON document on disk, rewritten atomically (temporary file, fsync, rename) on each change,
// so a crash mid-write leaves the previous document whole. Writers in several processes take a
// lock on a sidecar file and merge with what is on disk, so no writer's key is lost; readers see
// other processes' changes. A change that cannot be written is kept and retried with the next one.
// A document that does not parse is moved aside as "<name>.corrupt-<time>" before it is replaced.
class FileUserDefaults final : public UserDefaults {
  public:
    explicit FileUserDefaults(std::filesystem::path path);
    ~FileUserDefaults() override;

    std::optional<nlohmann::json> value(const std::string& key) const override;
    void set(const std::string& key, nlohmann::json value) override;
    void remove(const std::string& key) override;

    const std::filesystem::path& path() const { return path_; }

  private:
    // Identifies one version of the file; every write renames a new inode into place.
    struct FileVersion {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNanoseconds = 0;
        bool operator==(const FileVersion&) const = default;
    };

    void reloadLocked() const;
    void change(const std::string& key, std::optional<nlohmann::json> value);
    bool flushLocked();
    void moveCorruptAsideLocked();
    bool writeLocked(const nlohmann::json& document);

    std::filesystem::path path_;
    mutable std::mutex mutex_;
    // The last document read or written that parsed.
    mutable nlohmann::json values_ = nlohmann::json::object();
    mutable std::optional<FileVersion> version_;
    mutable bool corrupt_ = false;
    // Changes not yet on disk; a missing value is a removal.
    std::map<std::string, std::optional<nlohmann::json>> pending_;
};

}  // namespace quillory
