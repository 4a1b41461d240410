#include "app/shell/mac_login_item.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/desktop/desktop_entry_file.h"
#include "platform/files/atomic_write.h"
#include "platform/files/xdg_dirs.h"
#include "platform/log/logger.h"
#include "platform/process/executable_path.h"

namespace quillory {

namespace fs = std::filesystem;

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory", "login-item");
    return instance;
}

bool isExecutable(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

// An Exec program without a slash is looked up on $PATH, as the session's launcher does.
bool programRuns(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return isExecutable(program);
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const auto colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        if (!folder.empty() && isExecutable(fs::path(folder) / program)) {
            return true;
        }
        folders = colon == std::string_view::npos ? std::string_view{} : folders.substr(colon + 1);
    }
    return false;
}

}  // namespace

MacLoginItem::Locations MacLoginItem::Locations::system() {
    Locations locations;
    locations.userFolder = xdgConfigHome() / "autostart";
    for (const auto& folder : xdgConfigDirs()) {
        locations.systemFolders.push_back(folder / "autostart");
    }
    locations.executable = executablePath();
    return locations;
}

MacLoginItem::MacLoginItem(Locations locations, QObject* parent)
    : LoginItemControl(parent), locations_(std::move(locations)) {
    refresh();
}

void MacLoginItem::refresh() {
    publishEnabled(status() == Status::enabled);
    publishNeedsApproval(false);
}

void MacLoginItem::setEnabled(bool enabled) {
    // The error is cleared and set in one step, so that observers see only real changes.
    const bool done = enabled ? enable() : disable();
    publishError(done ? QString() : QString::fromUtf8(enabled ? addFailure : removeFailure));
    refresh();
}

MacLoginItem::Status MacLoginItem::status() const {
    std::error_code error;
    const fs::path entry =
        fs::exists(userEntry(), error) ? userEntry() : systemEntry().value_or(fs::path());
    if (entry.empty()) {
        return Status::notRegistered;
    }
    const auto file = DesktopEntryFile::read(entry);
    if (!file) {
        return Status::notFound;
    }
    if (file.value().boolean("Hidden") == true ||
        file.value().boolean("X-GNOME-Autostart-enabled") == false) {
        return Status::notRegistered;
    }
    const auto arguments = file.value().exec();
    if (!arguments || arguments->empty() || !programRuns(arguments->front())) {
        return Status::notFound;
    }
    return Status::enabled;
}

std::optional<fs::path> MacLoginItem::systemEntry() const {
    std::error_code error;
    for (const auto& folder : locations_.systemFolders) {
        if (fs::exists(folder / fileName, error)) {
            return folder / fileName;
        }
    }
    return std::nullopt;
}

bool MacLoginItem::writeUserEntry(bool hidden) const {
    DesktopEntryFile entry;
    entry.setString("Type", "Application");
    entry.setString("Name", "Quillory");
    if (hidden) {
        entry.setBoolean("Hidden", true);
    } else {
        entry.setString("Icon", "quillory");
        entry.setExec({locations_.executable.string()});
        entry.setBoolean("X-GNOME-Autostart-enabled", true);
    }
    if (const auto failure = writeFileAtomically(userEntry(), entry.serialize(), 0644, 0700)) {
        logger().error("Login item not written to %s: %s", userEntry().c_str(),
                       describe(*failure).c_str());
        return false;
    }
    return true;
}

bool MacLoginItem::enable() const {
    if (locations_.executable.empty()) {
        logger().error("Login item not written: this program's path is unknown");
        return false;
    }
    return writeUserEntry(false);
}

bool MacLoginItem::disable() const {
    if (systemEntry()) {
        // A system entry cannot be removed by the user; a hidden user copy masks it.
        return writeUserEntry(true);
    }
    if (::unlink(userEntry().c_str()) != 0 && errno != ENOENT) {
        logger().error("Login item %s not removed: %s", userEntry().c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace quillory
