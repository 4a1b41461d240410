#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "protocol/json_codec.h"

namespace quillory {

// Arrays and objects may nest this deep; the library's copy, comparison and output recurse, so
// deeper documents would be a stack risk.
constexpr std::size_t kMaxJSONDepth = 64;

// Reads one RFC 8259 JSON text (surrounding whitespace allowed, nothing else). Nothing when the
// text is not JSON, holds ill-formed UTF-8 or a lone surrogate escape, has a number too large for
// a double, or nests deeper than kMaxJSONDepth. Integers that fit stay integers (unsigned when not
// negative); a repeated key keeps its first place and its last value.
//
// It builds the same document as the library's own parser at a fraction of the cost: the link
// decodes every pen batch from text, and that parser spends most of its time copying each token
// byte by byte and converting numbers through the C locale.
std::optional<Json> parseJSON(std::string_view text);

}  // namespace quillory
