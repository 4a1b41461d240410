#pragma once

#include <QtQml/qqmlregistration.h>

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace quillory {

// The acknowledgements: the licence notices compiled into the program, as roles `title` and
// `text`. `folder` holds an index "manifest" of "title<TAB>file" lines and the files it names;
// reload() reads them again. A missing or unreadable file, or one that is not valid UTF-8, is left
// out and the next one still shows; texts are kept exactly as stored. Main thread only.
class NoticesModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString folder READ folder WRITE setFolder NOTIFY folderChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The desktop's fixed-width family, for the licence texts.
    Q_PROPERTY(QString monospaceFamily READ monospaceFamily CONSTANT)

  public:
    enum Role { titleRole = Qt::UserRole + 1, textRole };

    struct Entry {
        QString title;
        QString text;
    };

    explicit NoticesModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString folder() const { return folder_; }
    void setFolder(const QString& folder);
    int count() const { return rowCount(); }
    static QString monospaceFamily();

    Q_INVOKABLE void reload();

    // The entries of `folder`, in the index's order.
    static QList<Entry> read(const QString& folder);
    // `bytes` as UTF-8, or nothing when they are not valid UTF-8.
    static std::optional<QString> decodeUtf8(const QByteArray& bytes);

  signals:
    void folderChanged();
    void countChanged();

  private:
    QString folder_;
    QList<Entry> entries_;
};

}  // namespace quillory
