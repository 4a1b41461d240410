// Decodes the input as a sealed payload's plaintext and validates it; whatever decodes must
// encode to text that decodes to the same payload with the same validity.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocol/session_payload.h"

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto payload = SessionPayload::decode(text);
    if (!payload) {
        return 0;
    }
    const bool valid = payload->isValid();
    const auto again = SessionPayload::decode(payload->encode());
    if (!again || *again != *payload || again->isValid() != valid) {
        std::abort();
    }
    return 0;
}
