#pragma once

#include <QtQml/qqmlregistration.h>

#include <QAbstractListModel>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "design/motion.h"

namespace quillory {

class RecorderModel;

struct KeyCap {
    QString text;
    bool placeholder = false;

    friend bool operator==(const KeyCap&, const KeyCap&) = default;
};

// The key caps for the card's row: roles `text`, `placeholder`, `pixelSize` and `going`. A new
// list keeps the rows of the caps that stay and inserts the ones that come; the ones that go stay
// as going until the view, having faded them out where they stood, drops them. A view thus keeps
// each cap's delegate for as long as the cap is seen. A chord holds each key once: caps are told
// apart by what they show.
class KeyCapList : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS

  public:
    enum Role { textRole = Qt::UserRole + 1, placeholderRole, pixelSizeRole, goingRole };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The caps shown, without the going ones.
    QList<KeyCap> caps() const;
    void setCaps(const QList<KeyCap>& caps);
    // A going cap has faded out.
    Q_INVOKABLE void drop(int row);

  private:
    struct Row {
        KeyCap cap;
        bool going = false;
    };

    void setGoing(qsizetype row, bool going);

    QList<Row> rows_;
};

// The recorder card's texts and key caps, from the recorder's model.
class RecorderViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QImage icon READ icon NOTIFY changed)
    Q_PROPERTY(bool hasIcon READ hasIcon NOTIFY changed)
    Q_PROPERTY(QString prompt READ prompt NOTIFY changed)
    Q_PROPERTY(quillory::KeyCapList* caps READ caps CONSTANT)
    Q_PROPERTY(QString explanation READ explanation NOTIFY changed)
    Q_PROPERTY(bool clearEnabled READ clearEnabled NOTIFY changed)
    Q_PROPERTY(quillory::MotionSpring* keySpring READ keySpring CONSTANT)

  public:
    static constexpr int largeCapPixels = 22;
    static constexpr int smallCapPixels = 15;

    explicit RecorderViewModel(QObject* parent = nullptr);

    QObject* model() const;
    void setModel(QObject* model);

    QString title() const;
    QImage icon() const;
    bool hasIcon() const { return !icon().isNull(); }
    QString prompt() const;
    KeyCapList* caps() const { return caps_; }
    QString explanation() const;
    bool clearEnabled() const;
    MotionSpring* keySpring() const { return keySpring_; }

    // One- and two-character symbols are drawn large; characters as users see them, not bytes.
    static int capPixelSize(const QString& text);

  signals:
    void modelChanged();
    void changed();

  private:
    QList<KeyCap> wantedCaps() const;

    QPointer<RecorderModel> model_;
    MotionSpring* keySpring_;
    KeyCapList* caps_;
};

}  // namespace quillory
