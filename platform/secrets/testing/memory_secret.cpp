#include "platform/secrets/testing/memory_secret.h"

namespace quillory::testing {

SecretRead MemorySecret::read() {
    if (unavailable) {
        return {SecretStatus::unavailable, {}};
    }
    return value ? SecretRead{SecretStatus::ok, *value} : SecretRead{SecretStatus::notFound, {}};
}

SecretStatus MemorySecret::write(ByteView bytes) {
    if (failWrites) {
        return SecretStatus::writeFailed;
    }
    ++writes;
    value = Bytes(bytes.begin(), bytes.end());
    return SecretStatus::ok;
}

}  // namespace quillory::testing
