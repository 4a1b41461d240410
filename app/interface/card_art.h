#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>
#include <QSet>
#include <QUrl>

namespace quillory {

// The card windows' illustrations ("clay-tablet", ...), compiled in as SVGs. Main thread only.
class CardArt final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    using QObject::QObject;

    // The picture's address; empty for an empty name and for a missing picture, which is logged
    // once per name.
    Q_INVOKABLE QUrl source(const QString& name);

  private:
    QSet<QString> reported_;
};

}  // namespace quillory
