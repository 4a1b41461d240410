#include "platform/desktop/desktop_entry_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace quillory {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Characters that force an Exec argument into quotes.
bool isReserved(char c) {
    return std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos;
}

// Field codes that expand to files, URLs or (deprecated) nothing; dropped when splitting.
bool isFieldCode(char c) {
    return std::string_view("fFuUdDnNickvm").find(c) != std::string_view::npos;
}

// "%%" becomes "%", field codes go; nothing when a '%' starts no known code.
std::optional<std::string> expandPercents(std::string_view argument) {
    std::string result;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != '%') {
            result += argument[i];
            continue;
        }
        if (i + 1 == argument.size()) {
            return std::nullopt;
        }
        const char code = argument[++i];
        if (code == '%') {
            result += '%';
        } else if (!isFieldCode(code)) {
            return std::nullopt;
        }
    }
    return result;
}

bool isLoneFieldCode(std::string_view argument) {
    return argument.size() == 2 && argument[0] == '%' && isFieldCode(argument[1]);
}

}  // namespace

Result<DesktopEntryFile, std::string> DesktopEntryFile::parse(std::string_view text) {
    DesktopEntryFile file;
    bool seenGroup = false;
    bool inGroup = false;
    bool foundGroup = false;
    std::size_t number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const std::string_view content = trimmed(line);
        if (content.empty() || content.starts_with('#')) {
            continue;
        }
        if (content.starts_with('[')) {
            if (!content.ends_with(']') || content.size() < 3) {
                return Failure("line " + std::to_string(number) + ": a malformed group header");
            }
            // A repeated group adds nothing: the first one counts.
            inGroup = content.substr(1, content.size() - 2) == group && !foundGroup;
            foundGroup = foundGroup || inGroup;
            seenGroup = true;
            continue;
        }
        const auto equals = content.find('=');
        if (equals == std::string_view::npos || trimmed(content.substr(0, equals)).empty()) {
            return Failure("line " + std::to_string(number) + ": neither a key nor a group");
        }
        if (!seenGroup) {
            return Failure("line " + std::to_string(number) + ": a key before any group");
        }
        if (!inGroup) {
            continue;
        }
        const std::string key(trimmed(content.substr(0, equals)));
        if (file.raw(key) == nullptr) {
            // Leading spaces of a value are layout; trailing ones were escaped when they mattered.
            std::string_view value = content.substr(equals + 1);
            value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
            file.keys_.emplace_back(key, std::string(value));
        }
    }
    if (!foundGroup) {
        return Failure(std::string("no [Desktop Entry] group"));
    }
    return file;
}

Result<DesktopEntryFile, std::string> DesktopEntryFile::read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Failure(path.string() + ": " + std::strerror(errno));
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        return Failure(path.string() + ": unreadable");
    }
    auto parsed = parse(contents.str());
    if (!parsed) {
        return Failure(path.string() + ": " + parsed.error());
    }
    return parsed;
}

const std::string* DesktopEntryFile::raw(std::string_view key) const {
    for (const auto& [name, value] : keys_) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

std::optional<std::string> DesktopEntryFile::string(std::string_view key) const {
    const std::string* value = raw(key);
    return value ? unescapeDesktopString(*value) : std::nullopt;
}

std::optional<bool> DesktopEntryFile::boolean(std::string_view key) const {
    const std::string* value = raw(key);
    if (value && *value == "true") {
        return true;
    }
    if (value && *value == "false") {
        return false;
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> DesktopEntryFile::exec() const {
    const auto value = string("Exec");
    return value ? splitExec(*value) : std::nullopt;
}

void DesktopEntryFile::setString(std::string_view key, std::string_view value) {
    std::string escaped = escapeDesktopString(value);
    for (auto& [name, current] : keys_) {
        if (name == key) {
            current = std::move(escaped);
            return;
        }
    }
    keys_.emplace_back(std::string(key), std::move(escaped));
}

void DesktopEntryFile::setBoolean(std::string_view key, bool value) {
    setString(key, value ? "true" : "false");
}

void DesktopEntryFile::setExec(const std::vector<std::string>& arguments) {
    setString("Exec", joinExec(arguments));
}

std::string DesktopEntryFile::serialize() const {
    std::string text = "[" + std::string(group) + "]\n";
    for (const auto& [name, value] : keys_) {
        text += name + "=" + value + "\n";
    }
    return text;
}

std::string escapeDesktopString(std::string_view value) {
    const std::size_t leading = std::min(value.find_first_not_of(' '), value.size());
    const auto last = value.find_last_not_of(' ');
    const std::size_t trailingFrom = last == std::string_view::npos ? value.size() : last + 1;
    std::string result;
    for (std::size_t i = 0; i < value.size(); ++i) {
        switch (const char c = value[i]) {
            case ' ':
                result += i < leading || i >= trailingFrom ? "\\s" : " ";
                break;
            case '\n':
                result += "\\n";
                break;
            case '\t':
                result += "\\t";
                break;
            case '\r':
                result += "\\r";
                break;
            case '\\':
                result += "\\\\";
                break;
            default:
                result += c;
        }
    }
    return result;
}

std::optional<std::string> unescapeDesktopString(std::string_view value) {
    std::string result;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            result += value[i];
            continue;
        }
        if (i + 1 == value.size()) {
            return std::nullopt;
        }
        switch (value[++i]) {
            case 's':
                result += ' ';
                break;
            case 'n':
                result += '\n';
                break;
            case 't':
                result += '\t';
                break;
            case 'r':
                result += '\r';
                break;
            case '\\':
                result += '\\';
                break;
            default:
                return std::nullopt;
        }
    }
    return result;
}

std::optional<std::vector<std::string>> splitExec(std::string_view value) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (true) {
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) {
            ++i;
        }
        if (i == value.size()) {
            break;
        }
        std::string argument;
        bool quoted = false;
        if (value[i] == '"') {
            quoted = true;
            ++i;
            bool closed = false;
            while (i < value.size()) {
                const char c = value[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\') {
                    if (i == value.size() ||
                        std::string_view("\"`$\\").find(value[i]) == std::string_view::npos) {
                        return std::nullopt;
                    }
                    argument += value[i++];
                } else {
                    argument += c;
                }
            }
            // Quotes hold a whole argument: a space or the end follows the closing one.
            if (!closed || (i < value.size() && value[i] != ' ' && value[i] != '\t')) {
                return std::nullopt;
            }
        } else {
            while (i < value.size() && value[i] != ' ' && value[i] != '\t') {
                if (value[i] == '"' || value[i] == '\\') {
                    return std::nullopt;
                }
                argument += value[i++];
            }
        }
        if (!quoted && isLoneFieldCode(argument)) {
            continue;
        }
        auto expanded = expandPercents(argument);
        if (!expanded) {
            return std::nullopt;
        }
        arguments.push_back(std::move(*expanded));
    }
    return arguments;
}

std::string joinExec(const std::vector<std::string>& arguments) {
    std::string result;
    for (const auto& argument : arguments) {
        if (!result.empty()) {
            result += ' ';
        }
        const bool quote = argument.empty() || std::any_of(argument.begin(), argument.end(),
                                                           [](char c) { return isReserved(c); });
        if (quote) {
            result += '"';
        }
        for (const char c : argument) {
            if (c == '%') {
                result += "%%";
                continue;
            }
            if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
                result += '\\';
            }
            result += c;
        }
        if (quote) {
            result += '"';
        }
    }
    return result;
}

}  // namespace quillory
