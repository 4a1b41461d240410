#pragma once

#include <memory>
#include <optional>

#include "core/link/device_trust_store.h"
#include "platform/secrets/testing/memory_secret.h"
#include "protocol/base64.h"

namespace quillory::testing {

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
