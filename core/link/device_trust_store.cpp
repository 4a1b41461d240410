#include "core/link/device_trust_store.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/files/xdg_dirs.h"
#include "platform/log/logger.h"
#include "platform/secrets/backend_marker.h"
#include "platform/secrets/file_secret_item.h"
#include "platform/secrets/secret_service_item.h"
#include "platform/text/text_units.h"
#include "protocol/base64.h"

namespace quillory {

namespace {

constexpr const char* itemLabel = "Quillory device access";
constexpr const char* markerFile = "trust-backend";
constexpr const char* itemFile = "device-trust.json";

const Logger& log() {
    static const Logger logger("app.quillory.connection", "trust");
    return logger;
}

std::string encodeItem(const crypto::Ed25519SigningKey& identity,
                       const std::vector<RememberedDevice>& peers,
                       const std::map<std::string, std::vector<Uuid>>& stopped) {
    nlohmann::ordered_json json;
    json["identity"] = base64Encode(identity.seed().view());
    auto list = nlohmann::ordered_json::array();
    for (const auto& peer : peers) {
        nlohmann::ordered_json entry;
        entry["publicKey"] = base64Encode(peer.publicKey);
        entry["name"] = peer.name;
        list.push_back(std::move(entry));
    }
    json["peers"] = std::move(list);
    auto intents = nlohmann::ordered_json::object();
    for (const auto& [key, uuids] : stopped) {
        auto array = nlohmann::ordered_json::array();
        for (const auto& uuid : uuids) {
            array.push_back(uuid.text());
        }
        intents[key] = std::move(array);
    }
    json["stopped"] = std::move(intents);
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

struct DecodedItem {
    crypto::Ed25519SigningKey identity;
    std::vector<RememberedDevice> peers;
    std::map<std::string, std::vector<Uuid>> stopped;
};

std::optional<DecodedItem> decodeItem(const Bytes& bytes) {
    const auto json = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (!json.is_object()) {
        return std::nullopt;
    }
    const auto identityField = json.find("identity");
    if (identityField == json.end() || !identityField->is_string()) {
        return std::nullopt;
    }
    const auto seed = base64Decode(identityField->get_ref<const std::string&>());
    auto identity = seed ? crypto::Ed25519SigningKey::fromSeed(*seed) : std::nullopt;
    if (!identity) {
        return std::nullopt;
    }
    DecodedItem item{std::move(*identity), {}, {}};
    if (const auto peers = json.find("peers"); peers != json.end()) {
        if (!peers->is_array()) {
            return std::nullopt;
        }
        for (const auto& entry : *peers) {
            if (!entry.is_object() || !entry.contains("publicKey") || !entry.contains("name") ||
                !entry["publicKey"].is_string() || !entry["name"].is_string()) {
                return std::nullopt;
            }
            auto key = base64Decode(entry["publicKey"].get_ref<const std::string&>());
            if (!key || key->size() != crypto::PublicKey{}.size()) {
                return std::nullopt;
            }
            item.peers.push_back(
                RememberedDevice{std::move(*key), entry["name"].get<std::string>()});
        }
    }
    if (const auto stopped = json.find("stopped"); stopped != json.end()) {
        if (!stopped->is_object()) {
            return std::nullopt;
        }
        for (const auto& [key, intents] : stopped->items()) {
            if (!intents.is_array()) {
                return std::nullopt;
            }
            auto& list = item.stopped[key];
            for (const auto& intent : intents) {
                auto uuid = intent.is_string() ? Uuid::parse(intent.get_ref<const std::string&>())
                                               : std::nullopt;
                if (!uuid) {
                    return std::nullopt;
                }
                list.push_back(*uuid);
            }
        }
    }
    return item;
}

}  // namespace

const char* describe(StoreError error) {
    switch (error) {
        case StoreError::unavailable:
            return "unavailable";
        case StoreError::corrupt:
            return "corrupt";
        case StoreError::writeFailed:
            return "writeFailed";
    }
    return "unknown";
}

TrustStoreLocation hostTrustStoreLocation() {
    return {"com.quillory.device-trust.v4", "identity-and-peers", xdgDataHome() / "quillory"};
}

DeviceTrustStore::Opened DeviceTrustStore::open(const TrustStoreLocation& location,
                                                double deadlineSeconds) {
    const auto markerPath = location.folder / markerFile;
    const auto filePath = location.folder / itemFile;
    const auto marker = readBackendMarker(markerPath);
    SecretBackend backend = SecretBackend::secretService;
    switch (marker.state) {
        case BackendMarker::State::unreadable:
            log().error("Trust store marker %s cannot be read", markerPath.c_str());
            return {nullptr, StoreError::unavailable};
        case BackendMarker::State::present:
            backend = marker.backend;
            break;
        case BackendMarker::State::absent: {
            std::error_code error;
            if (std::filesystem::exists(filePath, error)) {
                // An item without its marker: keep using it rather than make a new identity.
                backend = SecretBackend::file;
                break;
            }
            switch (probeSecretService(deadlineSeconds)) {
                case SecretServiceState::unlocked:
                    backend = SecretBackend::secretService;
                    break;
                case SecretServiceState::absent:
                    backend = SecretBackend::file;
                    break;
                case SecretServiceState::locked:
                case SecretServiceState::timedOut:
                    log().error("The Secret Service is locked or does not answer");
                    return {nullptr, StoreError::unavailable};
            }
            break;
        }
    }
    std::shared_ptr<StoredSecret> item;
    if (backend == SecretBackend::file) {
        item = std::make_shared<FileSecretItem>(filePath);
    } else {
        item = std::make_shared<SecretServiceItem>(location.service, location.account, itemLabel,
                                                   deadlineSeconds);
    }
    auto opened = open(item);
    if (opened.store && marker.state != BackendMarker::State::present &&
        !writeBackendMarker(markerPath, backend)) {
        log().error("Trust store marker %s cannot be written", markerPath.c_str());
        return {nullptr, StoreError::writeFailed};
    }
    return opened;
}

DeviceTrustStore::Opened DeviceTrustStore::open(std::shared_ptr<StoredSecret> item) {
    const auto read = item->read();
    switch (read.status) {
        case SecretStatus::ok: {
            auto decoded = decodeItem(read.value);
            if (!decoded) {
                // Never replaced: a new identity would turn every paired tablet away.
                log().error("The device access item in %s cannot be decoded",
                            item->location().c_str());
                return {nullptr, StoreError::corrupt};
            }
            Contents contents{std::move(decoded->peers), std::move(decoded->stopped)};
            return {std::shared_ptr<DeviceTrustStore>(new DeviceTrustStore(
                        std::move(item), std::move(decoded->identity), std::move(contents))),
                    std::nullopt};
        }
        case SecretStatus::notFound: {
            auto identity = crypto::Ed25519SigningKey::generate();
            const auto text = encodeItem(identity, {}, {});
            switch (item->add(asBytes(text))) {
                case SecretStatus::ok:
                    break;
                case SecretStatus::unavailable:
                    return {nullptr, StoreError::unavailable};
                default:
                    return {nullptr, StoreError::writeFailed};
            }
            return {std::shared_ptr<DeviceTrustStore>(
                        new DeviceTrustStore(std::move(item), std::move(identity), {})),
                    std::nullopt};
        }
        case SecretStatus::unavailable:
        case SecretStatus::writeFailed:
            break;
    }
    log().error("The device access item in %s cannot be read", item->location().c_str());
    return {nullptr, StoreError::unavailable};
}

DeviceTrustStore::DeviceTrustStore(std::shared_ptr<StoredSecret> item,
                                   crypto::Ed25519SigningKey identity, Contents contents)
    : item_(std::move(item)), identity_(std::move(identity)), contents_(std::move(contents)) {}

std::vector<RememberedDevice> DeviceTrustStore::peers() const {
    std::vector<RememberedDevice> sorted;
    {
        std::lock_guard lock(mutex_);
        sorted = contents_.peers;
    }
    const LocalizedCaseInsensitiveOrder order;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const RememberedDevice& a, const RememberedDevice& b) {
                         const int compared = order.compare(a.name, b.name);
                         return compared != 0 ? compared < 0 : a.id() < b.id();
                     });
    return sorted;
}

std::string DeviceTrustStore::fingerprint() const {
    const auto digest = crypto::sha256(identity_.publicKey());
    return hexString(digest);
}

std::optional<StoreError> DeviceTrustStore::forget(const std::string& deviceKey) {
    std::lock_guard lock(mutex_);
    Contents next = contents_;
    std::erase_if(next.peers, [&](const RememberedDevice& peer) { return peer.id() == deviceKey; });
    next.stopped.erase(deviceKey);
    return persist(std::move(next));
}

std::optional<StoreError> DeviceTrustStore::recordStopped(const std::string& deviceKey,
                                                          const Uuid& intent) {
    std::lock_guard lock(mutex_);
    Contents next = contents_;
    auto& intents = next.stopped[deviceKey];
    std::erase(intents, intent);
    intents.push_back(intent);
    if (intents.size() > stoppedIntentsPerDevice) {
        intents.erase(intents.begin(),
                      intents.end() - static_cast<std::ptrdiff_t>(stoppedIntentsPerDevice));
    }
    return persist(std::move(next));
}

crypto::PublicKey DeviceTrustStore::identityPublicKey() const {
    return identity_.publicKey();
}

crypto::Signature DeviceTrustStore::sign(ByteView message) const {
    return identity_.sign(message);
}

std::optional<RememberedDevice> DeviceTrustStore::device(const std::string& deviceKey) const {
    std::lock_guard lock(mutex_);
    for (const auto& peer : contents_.peers) {
        if (peer.id() == deviceKey) {
            return peer;
        }
    }
    return std::nullopt;
}

std::optional<StoreError> DeviceTrustStore::remember(const RememberedDevice& device) {
    std::lock_guard lock(mutex_);
    Contents next = contents_;
    const auto existing = std::find_if(next.peers.begin(), next.peers.end(), [&](const auto& peer) {
        return peer.publicKey == device.publicKey;
    });
    if (existing == next.peers.end()) {
        next.peers.push_back(device);
    } else if (existing->name != device.name) {
        existing->name = device.name;
    } else {
        return std::nullopt;
    }
    return persist(std::move(next));
}

bool DeviceTrustStore::isStopped(const std::string& deviceKey, const Uuid& intent) const {
    std::lock_guard lock(mutex_);
    const auto found = contents_.stopped.find(deviceKey);
    return found != contents_.stopped.end() &&
           std::find(found->second.begin(), found->second.end(), intent) != found->second.end();
}

std::optional<StoreError> DeviceTrustStore::persist(Contents next) {
    const auto text = encodeItem(identity_, next.peers, next.stopped);
    switch (item_->update(asBytes(text))) {
        case SecretStatus::ok:
            contents_ = std::move(next);
            return std::nullopt;
        case SecretStatus::unavailable:
            return StoreError::unavailable;
        default:
            return StoreError::writeFailed;
    }
}

}  // namespace quillory
