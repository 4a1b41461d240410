#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "core/link/device_trust_store.h"
#include "platform/secrets/stored_secret.h"
#include "protocol/base64.h"

namespace quillory::testing {

// A secret item in memory whose reads and writes can be made to fail.
class MemorySecret final : public StoredSecret {
  public:
    std::optional<Bytes> value;
    std::atomic<bool> failWrites{false};
    std::atomic<bool> unavailable{false};
    std::atomic<int> writes{0};

    SecretRead read() override {
        if (unavailable) {
            return {SecretStatus::unavailable, {}};
        }
        return value ? SecretRead{SecretStatus::ok, *value}
                     : SecretRead{SecretStatus::notFound, {}};
    }
    SecretStatus add(ByteView bytes) override { return write(bytes); }
    SecretStatus update(ByteView bytes) override { return write(bytes); }
    std::string location() const override { return "memory"; }

    std::string text() const { return value ? std::string(value->begin(), value->end()) : ""; }

  private:
    SecretStatus write(ByteView bytes) {
        if (failWrites) {
            return SecretStatus::writeFailed;
        }
        ++writes;
        value = Bytes(bytes.begin(), bytes.end());
        return SecretStatus::ok;
    }
};

// A stored trust item whose identity is this seed's key.
inline std::string trustItem(const Bytes& seed, const std::string& peers = "[]",
                             const std::string& stopped = "{}") {
    return "{\"identity\":\"" + base64Encode(seed) + "\",\"peers\":" + peers +
           ",\"stopped\":" + stopped + "}";
}

// A trust store in memory; with a seed, its identity is that seed's key.
inline std::shared_ptr<DeviceTrustStore> memoryStore(std::optional<Bytes> seed = std::nullopt) {
    auto item = std::make_shared<MemorySecret>();
    if (seed) {
        const auto text = trustItem(*seed);
        item->value = Bytes(text.begin(), text.end());
    }
    return DeviceTrustStore::open(item).store;
}

}  // namespace quillory::testing
