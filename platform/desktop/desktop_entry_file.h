#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/result/result.h"

namespace quillory {

// The [Desktop Entry] group of a .desktop file, as the Desktop Entry rules read and write it.
// Other groups are skipped on reading and never written. Values are kept as written (escaped);
// the accessors unescape.
class DesktopEntryFile {
  public:
    static constexpr std::string_view group = "Desktop Entry";

    // Fails, naming the line, on a line that is neither a comment, a group header nor a key, and
    // on a file without the group.
    static Result<DesktopEntryFile, std::string> parse(std::string_view text);
    static Result<DesktopEntryFile, std::string> read(const std::filesystem::path& path);

    // A string value with its escapes undone; nothing when absent or wrongly escaped.
    std::optional<std::string> string(std::string_view key) const;
    // "true" or "false"; nothing otherwise.
    std::optional<bool> boolean(std::string_view key) const;
    // The Exec key split into arguments; nothing when absent or not by the rules.
    std::optional<std::vector<std::string>> exec() const;

    // Replaces the key's value in place, or adds it at the end.
    void setString(std::string_view key, std::string_view value);
    void setBoolean(std::string_view key, bool value);
    void setExec(const std::vector<std::string>& arguments);

    // The group with its keys, one a line.
    std::string serialize() const;

  private:
    const std::string* raw(std::string_view key) const;

    std::vector<std::pair<std::string, std::string>> keys_;
};

// The string escapes: \s \n \t \r \\ (a space is escaped where it leads or trails the value).
std::string escapeDesktopString(std::string_view value);
// Nothing on an unknown escape or a trailing backslash.
std::optional<std::string> unescapeDesktopString(std::string_view value);

// An Exec value (string escapes already undone) split into arguments: quoted arguments lose their
// quotes and escapes, "%%" becomes "%", and field codes (%f, %U, ...) are dropped, since nothing
// is passed to open. Nothing when quoting or a field code breaks the rules.
std::optional<std::vector<std::string>> splitExec(std::string_view value);
// The reverse: arguments with reserved characters in double quotes, '"' '`' '$' '\' escaped
// inside, '%' doubled. The string escapes are still to be applied.
std::string joinExec(const std::vector<std::string>& arguments);

}  // namespace quillory
