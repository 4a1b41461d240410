#include "app/interface/notices_model.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QStringDecoder>

#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory.interface", "acknowledgements");
    return instance;
}

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

}  // namespace

NoticesModel::NoticesModel(QObject* parent)
    : QAbstractListModel(parent), folder_(QStringLiteral(":/acknowledgements")) {}

int NoticesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant NoticesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries_.size()) {
        return {};
    }
    const Entry& entry = entries_.at(index.row());
    switch (role) {
        case titleRole:
            return entry.title;
        case textRole:
            return entry.text;
        default:
            return {};
    }
}

QHash<int, QByteArray> NoticesModel::roleNames() const {
    return {{titleRole, "title"}, {textRole, "text"}};
}

void NoticesModel::setFolder(const QString& folder) {
    if (folder_ == folder) {
        return;
    }
    folder_ = folder;
    emit folderChanged();
    reload();
}

QString NoticesModel::monospaceFamily() {
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

void NoticesModel::reload() {
    const int before = count();
    beginResetModel();
    entries_ = read(folder_);
    endResetModel();
    if (count() != before) {
        emit countChanged();
    }
}

std::optional<QString> NoticesModel::decodeUtf8(const QByteArray& bytes) {
    // Stateless: a sequence cut short at the end is an error, not input still to come.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

QList<NoticesModel::Entry> NoticesModel::read(const QString& folder) {
    const QDir dir(folder);
    const std::optional<QByteArray> index = readFile(dir.filePath(QStringLiteral("manifest")));
    const std::optional<QString> lines = index ? decodeUtf8(*index) : std::nullopt;
    if (!lines) {
        logger().error("No acknowledgements index in %s", qUtf8Printable(folder));
        return {};
    }
    QList<Entry> entries;
    for (const QString& line : lines->split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0) {
            continue;
        }
        const QString file = line.mid(tab + 1);
        const std::optional<QByteArray> bytes = readFile(dir.filePath(file));
        std::optional<QString> text = bytes ? decodeUtf8(*bytes) : std::nullopt;
        if (!text) {
            logger().error("The acknowledgement %s is missing or not UTF-8", qUtf8Printable(file));
            continue;
        }
        entries.append({line.left(tab), std::move(*text)});
    }
    return entries;
}

}  // namespace quillory
