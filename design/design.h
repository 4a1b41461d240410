#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>
#include <QPointer>
#include <optional>

#include "design/attached_tree.h"
#include "design/colors.h"
#include "design/design_theme.h"

namespace quillory {

// The theme of a subtree of items, as an attached property: `Design.palette` and
// `Design.iconFamily` set on an item or window apply to everything below it until a nearer
// ancestor sets its own. Outside any setting the standard theme applies.
class Design final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Design is an attached property")
    QML_ATTACHED(Design)
    // Raw values: "electricBlue", "graphite", "paper", "cobalt", "pine".
    Q_PROPERTY(QString palette READ paletteName WRITE setPaletteName RESET resetPalette NOTIFY
                   themeChanged)
    // "phosphor" or "systemSymbols".
    Q_PROPERTY(QString iconFamily READ iconFamilyName WRITE setIconFamilyName RESET resetIconFamily
                   NOTIFY themeChanged)
    Q_PROPERTY(quillory::Colors* colors READ colors NOTIFY themeChanged)

  public:
    explicit Design(QObject* owner);
    static Design* qmlAttachedProperties(QObject* object);

    DesignTheme theme() const { return resolved_; }
    DesignPalette palette() const { return resolved_.palette; }
    AppIconFamily iconFamily() const { return resolved_.icons; }
    Colors* colors() const { return Colors::forPalette(resolved_.palette); }

    QString paletteName() const { return rawValue(resolved_.palette); }
    QString iconFamilyName() const { return rawValue(resolved_.icons); }
    // An unknown name is reported and leaves the setting as it was.
    void setPaletteName(const QString& name);
    void setIconFamilyName(const QString& name);

    void setPalette(DesignPalette palette);
    void resetPalette();
    void setIconFamily(AppIconFamily family);
    void resetIconFamily();

  signals:
    void themeChanged();

  public:
    // Re-reads the inherited values; see attached_tree.h.
    void resolve();

  private:
    static DesignTheme inheritedAt(QObject* owner);

    QPointer<QObject> owner_;
    AncestorWatch ancestors_;
    std::optional<DesignPalette> palette_;
    std::optional<AppIconFamily> icons_;
    DesignTheme resolved_ = DesignTheme::standard;
};

}  // namespace quillory
