#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>
#include <QStringList>

class QQmlEngine;
class QJSEngine;

namespace quillory {

// The user-perceived characters of a text: a flag, an accented letter or a surrogate pair is one
// entry, where JavaScript's split("") would cut it apart.
QStringList graphemes(const QString& text);

// graphemes() for QML: `Graphemes.split(code)`.
class Graphemes final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    static Graphemes* create(QQmlEngine*, QJSEngine*) { return new Graphemes; }
    Q_INVOKABLE QStringList split(const QString& text) const { return graphemes(text); }
};

}  // namespace quillory
