#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

namespace quillory {

// Replaces the install tree the program runs from with a verified release archive. A tree is
// `<root>/bin/quillory` beside `<root>/quillory-release` (its version); installable when root and
// its parent are writable. The archive is unpacked into a staging folder beside root, checked,
// and exchanged with root in one step; the old tree stays under the staging name, since the
// quitting process may still read it, until the next start removes it.
class UpdateInstaller : public QObject {
    Q_OBJECT

  public:
    // `executable` is the program's path as read at start-up.
    explicit UpdateInstaller(std::filesystem::path executable, QObject* parent = nullptr);

    // The tree's root, or nothing when this tree cannot be updated in place (a package, a build
    // tree, a read-only folder).
    std::optional<std::filesystem::path> installableRoot() const;

    // Removes the trees earlier installs replaced. Nothing when not installable.
    void removeReplacedTrees() const;

    // Unpacks, checks and exchanges; `done` hears an empty text on success, else why nothing
    // was installed. One install at a time.
    void install(const std::filesystem::path& archive, const QString& version,
                 std::function<void(QString)> done);

    // The same, blocking; for the quit path, where nothing else runs.
    QString installNow(const std::filesystem::path& archive, const QString& version);

  private:
    struct Staged {
        std::filesystem::path root;
        std::filesystem::path staging;
        QString error;
    };
    Staged stage() const;
    QString finish(const Staged& staged, const QString& version, const QProcess& tar) const;
    static QStringList tarArguments(const std::filesystem::path& archive,
                                    const std::filesystem::path& staging);

    std::filesystem::path executable_;
    QPointer<QProcess> running_;
};

}  // namespace quillory
