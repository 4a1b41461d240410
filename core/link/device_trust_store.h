#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/crypto/crypto.h"
#include "platform/secrets/stored_secret.h"
#include "protocol/remembered_device.h"
#include "protocol/uuid.h"

namespace quillory {

enum class StoreError {
    unavailable,  // the secret store cannot be reached, is locked, or the read failed
    corrupt,      // an item exists but does not decode
    writeFailed,
};

const char* describe(StoreError error);

// Where one identity's item lives. The host uses hostTrustStoreLocation(); every other identity
// on the machine (the command-line tablet, tests) uses its own.
struct TrustStoreLocation {
    std::string service;
    std::string account;
    std::filesystem::path folder;
};

TrustStoreLocation hostTrustStoreLocation();

// This computer's signing identity, the tablets it trusts and the reconnect intents the user
// stopped, kept in one secret item. Thread-safe; mutations write through first and change the
// memory only when the write succeeded.
class DeviceTrustStore {
  public:
    static constexpr std::size_t stoppedIntentsPerDevice = 16;
    static constexpr double defaultDeadlineSeconds = 2.0;

    struct Opened {
        std::shared_ptr<DeviceTrustStore> store;
        std::optional<StoreError> error;
    };

    // Picks the backend the item was created in (or, the first time, the one that answers),
    // then loads the item or creates it.
    static Opened open(const TrustStoreLocation& location,
                       double deadlineSeconds = defaultDeadlineSeconds);
    // Loads the given item, or creates it when it does not exist yet.
    static Opened open(std::shared_ptr<StoredSecret> item);

    std::vector<RememberedDevice> peers() const;
    std::string fingerprint() const;
    [[nodiscard]] std::optional<StoreError> forget(const std::string& deviceKey);
    [[nodiscard]] std::optional<StoreError> recordStopped(const std::string& deviceKey,
                                                          const Uuid& intent);

    // For the channel.
    crypto::PublicKey identityPublicKey() const;
    crypto::Signature sign(ByteView message) const;
    std::optional<RememberedDevice> device(const std::string& deviceKey) const;
    // Adds the device or renames it; writes only when something changed.
    [[nodiscard]] std::optional<StoreError> remember(const RememberedDevice& device);
    bool isStopped(const std::string& deviceKey, const Uuid& intent) const;

    std::string location() const { return item_->location(); }

  private:
    struct Contents {
        std::vector<RememberedDevice> peers;
        std::map<std::string, std::vector<Uuid>> stopped;
    };

    DeviceTrustStore(std::shared_ptr<StoredSecret> item, crypto::Ed25519SigningKey identity,
                     Contents contents);
    std::optional<StoreError> persist(Contents next);

    const std::shared_ptr<StoredSecret> item_;
    const crypto::Ed25519SigningKey identity_;
    mutable std::mutex mutex_;
    Contents contents_;
};

}  // namespace quillory
