#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillory {

// The steps of an atomic write, in order.
enum class FileStep { createFolder, createTemporary, write, sync, close, rename, syncFolder };

// Why a file operation failed: the step and the errno it gave.
struct FileError {
    FileStep step = FileStep::write;
    int code = 0;

    bool operator==(const FileError&) const = default;
};

const char* describe(FileStep step);
// "<step>: <system message>", for logs.
std::string describe(const FileError& error);

// What a write must outlive.
enum class FileDurability {
    // A crash of the machine: the file and then its folder are synced.
    machineCrash,
    // A crash of this process only, for state that a restart of the machine makes moot; nothing
    // waits for the disk.
    processCrash,
};

// Replaces `path` with `contents` so that a crash leaves either the old or the new file whole: a
// temporary file beside it (close-on-exec, `fileMode`) is written, synced and renamed over the
// target, then the folder is synced (no syncing for FileDurability::processCrash). A missing folder
// is created with `folderMode` (its missing parents with the usual 0777 less the umask); an
// existing one that grants more than `folderMode` is narrowed to it. Nothing on success. Up to the
// rename a failure removes the temporary file and leaves the target as it was; a `syncFolder`
// failure means the new contents are in place but may not survive a crash.
[[nodiscard]] std::optional<FileError> writeFileAtomically(
    const std::filesystem::path& path, std::string_view contents, mode_t fileMode,
    mode_t folderMode, FileDurability durability = FileDurability::machineCrash);

}  // namespace quillory
