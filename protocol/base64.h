#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/crypto/crypto.h"

namespace quillory {

// Standard base64 (RFC 4648 alphabet) with padding and no line breaks.
std::string base64Encode(ByteView bytes);
// Strict: the length is a multiple of 4, padding only at the end, no whitespace.
std::optional<Bytes> base64Decode(std::string_view text);

}  // namespace quillory
