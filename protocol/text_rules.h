#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillory {

// Text rules shared by the wire records. Limits count UTF-8 bytes; a control character is one of
// Unicode general category Cc or Cf.

bool isControlCharacter(char32_t scalar);

// The byte length of the well-formed UTF-8 sequence that starts the text; 0 when it is
// ill-formed (overlong forms, surrogates and values above U+10FFFF included) or empty.
std::size_t utf8SequenceLength(std::string_view text);

// True when the text is well-formed UTF-8 and holds no control character.
bool isCleanText(std::string_view text);

// A clean text of minBytes to maxBytes UTF-8 bytes.
bool isValidText(std::string_view text, std::size_t minBytes, std::size_t maxBytes);

// The longest prefix of a UTF-8 text that has at most maxBytes bytes and ends on a character
// boundary.
std::string_view truncatedUTF8(std::string_view text, std::size_t maxBytes);

// Every control character replaced by the given text; ill-formed bytes are dropped.
std::string replacingControlCharacters(std::string_view text, std::string_view replacement);

// Outgoing names: control characters removed, then cut to maxBytes on a character boundary, so a
// name never makes its message invalid.
std::string cleanedText(std::string_view text, std::size_t maxBytes);

}  // namespace quillory
