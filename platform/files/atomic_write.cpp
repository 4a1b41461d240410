#include "platform/files/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files/unique_fd.h"

namespace quillory {

namespace {

constexpr mode_t permissionBits = 07777;

// Creates `folder` with `mode` and any missing parent with 0777 (both less the umask).
bool makeFolder(const std::filesystem::path& folder, mode_t mode) {
    if (::mkdir(folder.c_str(), mode) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return true;
    }
    const auto parent = folder.parent_path();
    if (errno != ENOENT || parent == folder || parent.empty()) {
        return false;
    }
    if (!makeFolder(parent, 0777)) {
        return false;
    }
    return ::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

bool ensureFolder(const std::filesystem::path& folder, mode_t mode) {
    if (!makeFolder(folder, mode)) {
        return false;
    }
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) {
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    const mode_t current = status.st_mode & permissionBits;
    if ((current & ~mode) == 0) {
        return true;
    }
    return ::chmod(folder.c_str(), current & mode) == 0;
}

}  // namespace

const char* describe(FileStep step) {
    switch (step) {
        case FileStep::createFolder:
            return "create folder";
        case FileStep::createTemporary:
            return "create temporary file";
        case FileStep::write:
            return "write";
        case FileStep::sync:
            return "sync";
        case FileStep::close:
            return "close";
        case FileStep::rename:
            return "rename";
        case FileStep::syncFolder:
            return "sync folder";
    }
    return "unknown step";
}

std::string describe(const FileError& error) {
    return std::string(describe(error.step)) + ": " + std::strerror(error.code);
}

std::optional<FileError> writeFileAtomically(const std::filesystem::path& path,
                                             std::string_view contents, mode_t fileMode,
                                             mode_t folderMode, FileDurability durability) {
    const bool sync = durability == FileDurability::machineCrash;
    auto folder = path.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!ensureFolder(folder, folderMode)) {
        return FileError{FileStep::createFolder, errno};
    }
    std::string temporary = path.string() + ".tmp-XXXXXX";
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid()) {
        return FileError{FileStep::createTemporary, errno};
    }
    const auto fail = [&](FileStep step) {
        const FileError error{step, errno};
        file.reset();
        ::unlink(temporary.c_str());
        return error;
    };
    if (::fchmod(file.get(), fileMode & permissionBits) != 0) {
        return fail(FileStep::createTemporary);
    }
    if (!writeAll(file.get(), contents)) {
        return fail(FileStep::write);
    }
    if (sync && ::fsync(file.get()) != 0) {
        return fail(FileStep::sync);
    }
    if (!file.close()) {
        return fail(FileStep::close);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail(FileStep::rename);
    }
    if (!sync) {
        return std::nullopt;
    }
    // The rename itself is durable only once the folder is synced.
    const UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.valid() || ::fsync(directory.get()) != 0) {
        return FileError{FileStep::syncFolder, errno};
    }
    return std::nullopt;
}

}  // namespace quillory
