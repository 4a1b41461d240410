#pragma once

#include <optional>
#include <string>

#include "platform/crypto/crypto.h"

namespace quillory {

enum class SecretStatus {
    ok,
    notFound,
    // The store cannot be reached, is locked, or did not answer in time.
    unavailable,
    writeFailed,
};

struct SecretRead {
    SecretStatus status = SecretStatus::unavailable;
    Bytes value;  // set when status is ok
};

// One generic secret item, addressed by service and account.
class StoredSecret {
  public:
    virtual ~StoredSecret() = default;
    virtual SecretRead read() = 0;
    // Creates the item; ok, writeFailed or unavailable.
    virtual SecretStatus add(ByteView value) = 0;
    // Replaces the item's value; ok, writeFailed or unavailable.
    virtual SecretStatus update(ByteView value) = 0;
    // Where the item lives, for log lines that help the user find it.
    virtual std::string location() const = 0;
};

}  // namespace quillory
