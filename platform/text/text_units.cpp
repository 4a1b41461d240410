#include "platform/text/text_units.h"

#include <unicode/brkiter.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <string_view>

namespace quillory {

namespace {

// The prefix up to the last character boundary that `keep` accepts; boundaries are byte offsets
// and are offered in order, with the number of characters they close.
template <typename Keep>
std::string_view leadingWhile(std::string_view text, Keep keep) {
    UErrorCode status = U_ZERO_ERROR;
    UText* utext =
        utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status);
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters) {
        utext_close(utext);
        return text;
    }
    characters->setText(utext, status);
    // UTF-8 UText indexes are byte offsets into the original text.
    std::int32_t end = characters->first();
    for (std::size_t taken = 1;; ++taken) {
        const std::int32_t next = characters->next();
        if (next == icu::BreakIterator::DONE || !keep(static_cast<std::size_t>(next), taken)) {
            break;
        }
        end = next;
    }
    characters.reset();
    utext_close(utext);
    return text.substr(0, static_cast<std::size_t>(end));
}

}  // namespace

std::string_view leadingCharacters(std::string_view text, std::size_t count) {
    if (count == 0) {
        return text.substr(0, 0);
    }
    return leadingWhile(text, [count](std::size_t, std::size_t taken) { return taken <= count; });
}

std::string_view leadingCharactersWithin(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    return leadingWhile(text, [maxBytes](std::size_t end, std::size_t) { return end <= maxBytes; });
}

std::string percentText(int percent, const std::string& locale) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format(
        icu::NumberFormat::createPercentInstance(icu::Locale(locale.c_str()), status));
    if (U_FAILURE(status) || !format) {
        return {};
    }
    icu::UnicodeString text;
    format->format(static_cast<double>(percent) / 100, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string lowercased(std::string_view text) {
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    std::string result;
    unicode.toLower(icu::Locale::getRoot()).toUTF8String(result);
    return result;
}

struct LocalizedCaseInsensitiveOrder::Collator {
    std::unique_ptr<icu::Collator> collator;
};

LocalizedCaseInsensitiveOrder::LocalizedCaseInsensitiveOrder() {
    auto collator = std::make_shared<Collator>();
    UErrorCode status = U_ZERO_ERROR;
    // The C locale maps to en_US_POSIX, whose collation orders by code point and so by case.
    icu::Locale locale = icu::Locale::getDefault();
    if (std::string_view(locale.getVariant()) == "POSIX") {
        locale = icu::Locale::getRoot();
    }
    collator->collator.reset(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status)) {
        collator->collator.reset();
    } else {
        // Secondary strength: base letters and accents count, case does not.
        collator->collator->setStrength(icu::Collator::SECONDARY);
    }
    collator_ = std::move(collator);
}

int LocalizedCaseInsensitiveOrder::compare(std::string_view a, std::string_view b) const {
    if (!collator_->collator) {
        const std::string left = lowercased(a);
        const std::string right = lowercased(b);
        return left.compare(right);
    }
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = collator_->collator->compareUTF8(
        icu::StringPiece(a.data(), static_cast<std::int32_t>(a.size())),
        icu::StringPiece(b.data(), static_cast<std::int32_t>(b.size())), status);
    return U_FAILURE(status) ? 0 : static_cast<int>(result);
}

}  // namespace quillory
