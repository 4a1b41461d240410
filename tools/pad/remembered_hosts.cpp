#include "tools/pad/remembered_hosts.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/files/atomic_write.h"
#include "platform/files/xdg_dirs.h"

namespace quillory::pad {

std::filesystem::path RememberedHosts::defaultPath() {
    return xdgDataHome() / "quillory-pad" / "hosts.json";
}

RememberedHosts::Loaded RememberedHosts::load(std::filesystem::path path) {
    RememberedHosts result(path);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::error_code error;
        if (std::filesystem::exists(path, error)) {
            return {std::nullopt, "Cannot read " + path.string() + "."};
        }
        return {std::move(result), {}};
    }
    std::stringstream text;
    text << file.rdbuf();
    const auto json = nlohmann::json::parse(text.str(), nullptr, false);
    const auto corrupt =
        Loaded{std::nullopt, path.string() + " is damaged; move it away to start over."};
    if (!json.is_object() || !json.contains("hosts") || !json["hosts"].is_array()) {
        return corrupt;
    }
    for (const auto& entry : json["hosts"]) {
        if (!entry.is_object() || !entry.value("id", nlohmann::json()).is_string() ||
            !entry.value("name", nlohmann::json()).is_string() ||
            !entry.value("address", nlohmann::json()).is_string() ||
            !entry.value("port", nlohmann::json()).is_number_unsigned() ||
            entry["port"].get<std::uint64_t>() > 65535) {
            return corrupt;
        }
        result.hosts_.push_back(RememberedHost{entry["id"], entry["name"], entry["address"],
                                               entry["port"].get<std::uint16_t>()});
    }
    return {std::move(result), {}};
}

std::optional<RememberedHost> RememberedHosts::find(const std::optional<std::string>& query,
                                                    std::optional<std::uint16_t> port) const {
    for (const auto& host : hosts_) {
        const bool named = !query || host.name == *query || host.address == *query ||
                           (query->size() >= 8 && host.id.starts_with(*query));
        if (named && (!port || host.port == *port)) {
            return host;
        }
    }
    return std::nullopt;
}

std::optional<RememberedHost> RememberedHosts::byId(const std::string& id) const {
    for (const auto& host : hosts_) {
        if (host.id == id) {
            return host;
        }
    }
    return std::nullopt;
}

std::optional<RememberedHost> RememberedHosts::byAddress(const std::string& address,
                                                         std::uint16_t port) const {
    for (const auto& host : hosts_) {
        if (host.address == address && host.port == port) {
            return host;
        }
    }
    return std::nullopt;
}

bool RememberedHosts::remember(const RememberedHost& host) {
    auto next = hosts_;
    std::erase_if(next, [&](const RememberedHost& known) { return known.id == host.id; });
    next.insert(next.begin(), host);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& entry : next) {
        list.push_back({{"id", entry.id},
                        {"name", entry.name},
                        {"address", entry.address},
                        {"port", entry.port}});
    }
    const auto text = nlohmann::ordered_json{{"hosts", list}}.dump(
        2, ' ', false, nlohmann::json::error_handler_t::replace);
    if (writeFileAtomically(path_, text, 0600, 0700)) {
        return false;
    }
    hosts_ = std::move(next);
    return true;
}

}  // namespace quillory::pad
