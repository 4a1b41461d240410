#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillory::pad {

// A computer this tablet paired with and where it was last reached.
struct RememberedHost {
    std::string id;  // the computer's fingerprint (its device key)
    std::string name;
    std::string address;
    std::uint16_t port = 0;

    friend bool operator==(const RememberedHost&, const RememberedHost&) = default;
};

// The computers this tablet paired with, most recently used first, in a JSON file written
// atomically. A file that does not decode is reported and never overwritten.
class RememberedHosts {
  public:
    // The file under $XDG_DATA_HOME/quillory-pad/.
    static std::filesystem::path defaultPath();

    struct Loaded;
    static Loaded load(std::filesystem::path path);

    const std::vector<RememberedHost>& hosts() const { return hosts_; }
    // A host by name, address or fingerprint (and port, when given); else the most recent.
    std::optional<RememberedHost> find(const std::optional<std::string>& query,
                                       std::optional<std::uint16_t> port) const;
    std::optional<RememberedHost> byId(const std::string& id) const;
    std::optional<RememberedHost> byAddress(const std::string& address, std::uint16_t port) const;
    // Adds or updates the host (by fingerprint) as the most recent; false when the write failed.
    [[nodiscard]] bool remember(const RememberedHost& host);

  private:
    explicit RememberedHosts(std::filesystem::path path) : path_(std::move(path)) {}

    std::filesystem::path path_;
    std::vector<RememberedHost> hosts_;
};

struct RememberedHosts::Loaded {
    std::optional<RememberedHosts> hosts;
    std::string error;  // a sentence when hosts is empty
};

}  // namespace quillory::pad
