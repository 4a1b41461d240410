#pragma once

#include <filesystem>
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

// Kept in memory; for tests.
class MemoryUserDefaults final : public UserDefaults {
  public:
    std::optional<nlohmann::json> value(const std::string& key) const override;
    void set(const std::string& key, nlohmann::json value) override;
    void remove(const std::string& key) override;

  private:
    mutable std::mutex mutex_;
    nlohmann::json values_ = nlohmann::json::object();
};

// One JSON document on disk, rewritten atomically (temporary file, fsync, rename) on each change,
// so a crash mid-write leaves the previous document whole.
class FileUserDefaults final : public UserDefaults {
  public:
    explicit FileUserDefaults(std::filesystem::path path);

    std::optional<nlohmann::json> value(const std::string& key) const override;
    void set(const std::string& key, nlohmann::json value) override;
    void remove(const std::string& key) override;

    const std::filesystem::path& path() const { return path_; }

  private:
    void reloadLocked() const;
    void writeLocked(const nlohmann::json& document);

    std::filesystem::path path_;
    mutable std::mutex mutex_;
    mutable nlohmann::json values_ = nlohmann::json::object();
};

}  // namespace quillory
