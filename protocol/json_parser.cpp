#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "protocol/json_codec.h"
#include "protocol/text_rules.h"

namespace quillory {
namespace {

class Parser {
  public:
    explicit Parser(std::string_view text) : next_(text.data()), end_(text.data() + text.size()) {}

    std::optional<Json> document() {
        Json value;
        if (!parseValue(value, 0)) {
            return std::nullopt;
        }
        skipWhitespace();
        if (next_ != end_) {
            return std::nullopt;
        }
        return value;
    }

  private:
    // Objects this large find repeated keys through an index instead of a linear search.
    static constexpr std::size_t indexedObjectSize = 32;

    bool atEnd() const { return next_ == end_; }

    void skipWhitespace() {
        while (next_ != end_ &&
               (*next_ == ' ' || *next_ == '\n' || *next_ == '\r' || *next_ == '\t')) {
            ++next_;
        }
    }

    bool consume(char expected) {
        skipWhitespace();
        if (atEnd() || *next_ != expected) {
            return false;
        }
        ++next_;
        return true;
    }

    bool parseValue(Json& out, std::size_t depth) {
        skipWhitespace();
        if (atEnd()) {
            return false;
        }
        switch (*next_) {
            case '{':
                return depth < maxJSONDepth && parseObject(out, depth + 1);
            case '[':
                return depth < maxJSONDepth && parseArray(out, depth + 1);
            case '"': {
                std::string text;
                if (!parseString(text)) {
                    return false;
                }
                out = std::move(text);
                return true;
            }
            case 't':
                return parseLiteral("true", true, out);
            case 'f':
                return parseLiteral("false", false, out);
            case 'n':
                return parseLiteral("null", nullptr, out);
            default:
                return parseNumber(out);
        }
    }

    template <class T>
    bool parseLiteral(std::string_view word, T value, Json& out) {
        if (static_cast<std::size_t>(end_ - next_) < word.size() ||
            std::string_view(next_, word.size()) != word) {
            return false;
        }
        next_ += word.size();
        out = value;
        return true;
    }

    bool parseObject(Json& out, std::size_t depth) {
        ++next_;  // '{'
        out = Json::object();
        auto& members = out.get_ref<Json::object_t&>();
        std::unordered_map<std::string, std::size_t> index;
        if (consume('}')) {
            return true;
        }
        do {
            std::string key;
            skipWhitespace();
            if (atEnd() || *next_ != '"' || !parseString(key) || !consume(':')) {
                return false;
            }
            Json value;
            if (!parseValue(value, depth)) {
                return false;
            }
            if (Json* existing = findMember(members, index, key)) {
                *existing = std::move(value);
            } else {
                if (!index.empty() || members.size() + 1 == indexedObjectSize) {
                    indexMembers(members, index);
                    index.emplace(key, members.size());
                }
                members.emplace_back(std::move(key), std::move(value));
            }
        } while (consume(','));
        return consume('}');
    }

    static Json* findMember(Json::object_t& members,
                            const std::unordered_map<std::string, std::size_t>& index,
                            const std::string& key) {
        if (!index.empty()) {
            const auto found = index.find(key);
            return found == index.end()
                       ? nullptr
                       : &(members.begin() + static_cast<std::ptrdiff_t>(found->second))->second;
        }
        for (auto& member : members) {
            if (member.first == key) {
                return &member.second;
            }
        }
        return nullptr;
    }

    static void indexMembers(const Json::object_t& members,
                             std::unordered_map<std::string, std::size_t>& index) {
        if (index.empty()) {
            std::size_t position = 0;
            for (const auto& member : members) {
                index.emplace(member.first, position++);
            }
        }
    }

    bool parseArray(Json& out, std::size_t depth) {
        ++next_;  // '['
        out = Json::array();
        auto& items = out.get_ref<Json::array_t&>();
        if (consume(']')) {
            return true;
        }
        do {
            if (!parseValue(items.emplace_back(), depth)) {
                return false;
            }
        } while (consume(','));
        return consume(']');
    }

    static void appendUTF8(std::string& out, char32_t scalar) {
        if (scalar < 0x80) {
            out.push_back(static_cast<char>(scalar));
        } else if (scalar < 0x800) {
            out.push_back(static_cast<char>(0xC0 | scalar >> 6));
            out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
        } else if (scalar < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | scalar >> 12));
            out.push_back(static_cast<char>(0x80 | (scalar >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | scalar >> 18));
            out.push_back(static_cast<char>(0x80 | (scalar >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (scalar >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
        }
    }

    bool parseHex4(char32_t& out) {
        if (end_ - next_ < 4) {
            return false;
        }
        out = 0;
        for (int digit = 0; digit < 4; ++digit) {
            const char c = *next_++;
            out <<= 4;
            if (c >= '0' && c <= '9') {
                out |= static_cast<char32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                out |= static_cast<char32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                out |= static_cast<char32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    // After the backslash of a \u escape: one scalar value, joining a surrogate pair.
    bool parseUnicodeEscape(std::string& out) {
        char32_t unit = 0;
        if (!parseHex4(unit) || (unit >= 0xDC00 && unit <= 0xDFFF)) {
            return false;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            char32_t low = 0;
            if (end_ - next_ < 2 || next_[0] != '\\' || next_[1] != 'u') {
                return false;
            }
            next_ += 2;
            if (!parseHex4(low) || low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUTF8(out, unit);
        return true;
    }

    bool parseEscape(std::string& out) {
        if (atEnd()) {
            return false;
        }
        const char c = *next_++;
        switch (c) {
            case '"':
                out.push_back('"');
                return true;
            case '\\':
                out.push_back('\\');
                return true;
            case '/':
                out.push_back('/');
                return true;
            case 'b':
                out.push_back('\b');
                return true;
            case 'f':
                out.push_back('\f');
                return true;
            case 'n':
                out.push_back('\n');
                return true;
            case 'r':
                out.push_back('\r');
                return true;
            case 't':
                out.push_back('\t');
                return true;
            case 'u':
                return parseUnicodeEscape(out);
            default:
                return false;
        }
    }

    bool parseString(std::string& out) {
        ++next_;  // '"'
        while (true) {
            const char* run = next_;
            while (next_ != end_ && static_cast<unsigned char>(*next_) >= 0x20 &&
                   static_cast<unsigned char>(*next_) < 0x80 && *next_ != '"' && *next_ != '\\') {
                ++next_;
            }
            out.append(run, next_);
            if (atEnd()) {
                return false;
            }
            const auto c = static_cast<unsigned char>(*next_);
            if (c == '"') {
                ++next_;
                return true;
            }
            if (c == '\\') {
                ++next_;
                if (!parseEscape(out)) {
                    return false;
                }
            } else if (c < 0x20) {
                return false;
            } else {
                const std::size_t length = utf8SequenceLength(
                    std::string_view(next_, static_cast<std::size_t>(end_ - next_)));
                if (length == 0) {
                    return false;
                }
                out.append(next_, length);
                next_ += length;
            }
        }
    }

    bool skipDigits() {
        const char* start = next_;
        while (next_ != end_ && *next_ >= '0' && *next_ <= '9') {
            ++next_;
        }
        return next_ != start;
    }

    bool parseNumber(Json& out) {
        const char* start = next_;
        const bool negative = *next_ == '-';
        if (negative) {
            ++next_;
        }
        if (atEnd()) {
            return false;
        }
        if (*next_ == '0') {
            ++next_;
        } else if (!skipDigits()) {
            return false;
        }
        bool integer = true;
        if (!atEnd() && *next_ == '.') {
            ++next_;
            integer = false;
            if (!skipDigits()) {
                return false;
            }
        }
        if (!atEnd() && (*next_ == 'e' || *next_ == 'E')) {
            ++next_;
            integer = false;
            if (!atEnd() && (*next_ == '+' || *next_ == '-')) {
                ++next_;
            }
            if (!skipDigits()) {
                return false;
            }
        }
        if (integer && !negative) {
            std::uint64_t value = 0;
            if (std::from_chars(start, next_, value).ec == std::errc()) {
                out = value;
                return true;
            }
        } else if (integer) {
            std::int64_t value = 0;
            if (std::from_chars(start, next_, value).ec == std::errc()) {
                out = value;
                return true;
            }
        }
        // Fractions, exponents and integers too large for 64 bits become doubles.
        double value = 0;
        const auto [end, error] = std::from_chars(start, next_, value);
        if (error == std::errc::result_out_of_range) {
            // Tiny magnitudes round towards zero; only overflow is refused.
            value = std::strtod(std::string(start, next_).c_str(), nullptr);
        } else if (error != std::errc() || end != next_) {
            return false;
        }
        if (!std::isfinite(value)) {
            return false;
        }
        out = value;
        return true;
    }

    const char* next_;
    const char* const end_;
};

}  // namespace

std::optional<Json> parseJSON(std::string_view text) {
    return Parser(text).document();
}

}  // namespace quillory
