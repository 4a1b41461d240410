#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quillory {

// Text as users perceive it, over ICU: characters are extended grapheme clusters, letter case
// follows full Unicode rules. Every function takes and gives UTF-8; ill-formed input is treated as
// replacement characters rather than rejected.

// The first `count` characters of a text, never ending inside a character.
std::string_view leadingCharacters(std::string_view text, std::size_t count);

// The longest run of leading characters that fits in `maxBytes` UTF-8 bytes: unlike a cut on a
// code point boundary it never splits a flag, an emoji sequence or a base from its accents.
std::string_view leadingCharactersWithin(std::string_view text, std::size_t maxBytes);

// Full Unicode lower-casing, independent of the user's locale.
std::string lowercased(std::string_view text);

// A whole percentage as `locale` (an ICU or POSIX name, "fr_FR") writes it: its digits and where
// its percent sign goes ("37 %" in French, "%37" in Turkish); empty when ICU cannot.
std::string percentText(int percent, const std::string& locale);

// Orders texts by the user's current locale, ignoring letter case (accents still count).
class LocalizedCaseInsensitiveOrder {
  public:
    LocalizedCaseInsensitiveOrder();

    // Negative, zero or positive as in strcmp.
    int compare(std::string_view a, std::string_view b) const;
    bool operator()(std::string_view a, std::string_view b) const { return compare(a, b) < 0; }

  private:
    struct Collator;
    std::shared_ptr<const Collator> collator_;  // shared by copies, as sorting copies the order
};

}  // namespace quillory
