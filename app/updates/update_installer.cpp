#include "app/updates/update_installer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace quillory {

namespace fs = std::filesystem;

namespace {

constexpr const char* releaseFile = "quillory-release";

std::string stagingPrefix(const fs::path& root) {
    return "." + root.filename().string() + ".update-";
}

QString systemError(const char* what, int code) {
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(what),
                                        QString::fromUtf8(std::strerror(code)));
}

QString readRelease(const fs::path& root) {
    QFile file(QString::fromStdString((root / releaseFile).string()));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.read(64)).trimmed();
}

void removeTree(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

}  // namespace

UpdateInstaller::UpdateInstaller(fs::path executable, QObject* parent)
    : QObject(parent), executable_(std::move(executable)) {}

std::optional<fs::path> UpdateInstaller::installableRoot() const {
    if (executable_.filename() != "quillory" || executable_.parent_path().filename() != "bin") {
        return std::nullopt;
    }
    const fs::path root = executable_.parent_path().parent_path();
    std::error_code error;
    if (root.empty() || !fs::is_regular_file(root / releaseFile, error)) {
        return std::nullopt;
    }
    if (::access(root.c_str(), W_OK) != 0 || ::access(root.parent_path().c_str(), W_OK) != 0) {
        return std::nullopt;
    }
    return root;
}

void UpdateInstaller::removeReplacedTrees() const {
    const auto root = installableRoot();
    if (!root) {
        return;
    }
    const std::string prefix = stagingPrefix(*root);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(root->parent_path(), error)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            removeTree(entry.path());
        }
    }
}

UpdateInstaller::Staged UpdateInstaller::stage() const {
    Staged staged;
    const auto root = installableRoot();
    if (!root) {
        staged.error = QStringLiteral("This copy of Quillory cannot be updated in place");
        return staged;
    }
    staged.root = *root;
    std::string folder = (root->parent_path() / (stagingPrefix(*root) + "XXXXXX")).string();
    if (::mkdtemp(folder.data()) == nullptr) {
        staged.error = systemError("Could not create the staging folder", errno);
        return staged;
    }
    // The tree replaces one that others may read: keep its usual permissions.
    ::chmod(folder.c_str(), 0755);
    staged.staging = folder;
    return staged;
}

QStringList UpdateInstaller::tarArguments(const fs::path& archive, const fs::path& staging) {
    return {QStringLiteral("--extract"),
            QStringLiteral("--gzip"),
            QStringLiteral("--no-same-owner"),
            QStringLiteral("--file"),
            QString::fromStdString(archive.string()),
            QStringLiteral("--directory"),
            QString::fromStdString(staging.string())};
}

QString UpdateInstaller::finish(const Staged& staged, const QString& version,
                                const QProcess& tar) const {
    QString error;
    if (tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0) {
        error = QStringLiteral("The update could not be unpacked");
    } else if (readRelease(staged.staging) != version) {
        error = QStringLiteral("The update's release file does not name version %1").arg(version);
    } else if (const fs::path program = staged.staging / "bin" / "quillory";
               !fs::is_regular_file(program) || ::access(program.c_str(), X_OK) != 0) {
        error = QStringLiteral("The update has no executable bin/quillory");
    } else if (::renameat2(AT_FDCWD, staged.staging.c_str(), AT_FDCWD, staged.root.c_str(),
                           RENAME_EXCHANGE) != 0) {
        error = systemError("Could not put the update in place", errno);
    }
    if (!error.isEmpty()) {
        removeTree(staged.staging);
    }
    return error;
}

void UpdateInstaller::install(const fs::path& archive, const QString& version,
                              std::function<void(QString)> done) {
    if (running_) {
        done(QStringLiteral("An update is already being installed"));
        return;
    }
    const Staged staged = stage();
    if (!staged.error.isEmpty()) {
        done(staged.error);
        return;
    }
    auto* tar = new QProcess(this);
    running_ = tar;
    connect(tar, &QProcess::finished, this, [this, tar, staged, version, done] {
        tar->deleteLater();
        done(finish(staged, version, *tar));
    });
    connect(tar, &QProcess::errorOccurred, this, [tar, staged, done](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            tar->deleteLater();
            removeTree(staged.staging);
            done(QStringLiteral("tar could not be started"));
        }
    });
    tar->start(QStringLiteral("tar"), tarArguments(archive, staged.staging));
}

QString UpdateInstaller::installNow(const fs::path& archive, const QString& version) {
    const Staged staged = stage();
    if (!staged.error.isEmpty()) {
        return staged.error;
    }
    QProcess tar;
    tar.start(QStringLiteral("tar"), tarArguments(archive, staged.staging));
    if (!tar.waitForFinished(-1)) {
        removeTree(staged.staging);
        return QStringLiteral("tar could not be started");
    }
    return finish(staged, version, tar);
}

}  // namespace quillory
