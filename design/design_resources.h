#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>

namespace quillory {

// The design module's files: fonts, the mark and the icons, compiled into the program as Qt
// resources under ":/design". A missing file is logged once and reported as absent; each user
// falls back in its own way, and nothing stops the process.
class DesignResources {
  public:
    // `root` holds fonts/, icons/ and marks/; tests point it at a folder of their own.
    explicit DesignResources(QString root);

    // The compiled-in resources.
    static DesignResources& shared();

    std::optional<QString> font(const QString& face) const;  // "BarlowSemiCondensed-<face>.ttf"
    std::optional<QString> icon(const QString& assetName) const;  // "<assetName>.svg"
    std::optional<QString> mark(const QString& name) const;       // "<name>.svg"

    // Names of missing files logged so far, once each.
    QStringList reportedMissing() const;

  private:
    std::optional<QString> locate(const QString& relativePath) const;

    QString root_;
    mutable std::mutex mutex_;
    mutable QSet<QString> reported_;
};

}  // namespace quillory
