#pragma once

#include <atomic>
#include <optional>

#include "platform/secrets/stored_secret.h"

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

}  // namespace quillory::testing
