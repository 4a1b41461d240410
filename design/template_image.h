#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QQuickPaintedItem>
#include <QUrl>

#include "design/app_icon.h"
#include "design/design_theme.h"

namespace quillory {

// A single-colour picture drawn in `color` at the item's size, sharp at any scale. Draws with
// QPainter, so it also shows on the software renderer.
class TemplateImage : public QQuickPaintedItem {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)

  public:
    explicit TemplateImage(QQuickItem* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& color);

    void paint(QPainter* painter) override;

  signals:
    void colorChanged();

  protected:
    // The picture at `pixels` device pixels, tinted with `color`.
    virtual QImage render(QSize pixels, const QColor& color) const = 0;

  private:
    QColor color_ = Qt::black;
};

// One icon role from one family (IconView wraps it with the theme's defaults), or one of the
// windows' symbols when `symbol` is set.
class IconImage : public TemplateImage {
    Q_OBJECT
    QML_ELEMENT
    // A role's raw value ("warning"); an unknown name draws nothing.
    Q_PROPERTY(QString icon READ icon WRITE setIcon NOTIFY iconChanged)
    // "phosphor" or "systemSymbols".
    Q_PROPERTY(QString family READ family WRITE setFamily NOTIFY familyChanged)
    // A system symbol name ("xmark"); takes the place of the role; an unknown one draws nothing.
    Q_PROPERTY(QString symbol READ symbol WRITE setSymbol NOTIFY symbolChanged)
    // The symbol's picture, for a shadow cast from its outline; empty for a role or no symbol.
    Q_PROPERTY(QUrl symbolSource READ symbolSource NOTIFY symbolChanged)

  public:
    using TemplateImage::TemplateImage;

    QString icon() const { return icon_; }
    void setIcon(const QString& icon);
    QString family() const { return family_; }
    void setFamily(const QString& family);
    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    QUrl symbolSource() const;

  signals:
    void iconChanged();
    void familyChanged();
    void symbolChanged();

  protected:
    QImage render(QSize pixels, const QColor& color) const override;

  private:
    QString icon_;
    QString family_ = QStringLiteral("phosphor");
    QString symbol_;
};

// The product's mark, fitted into the item keeping its proportions (BrandMark wraps it).
class MarkImage : public TemplateImage {
    Q_OBJECT
    QML_ELEMENT

  public:
    using TemplateImage::TemplateImage;

  protected:
    QImage render(QSize pixels, const QColor& color) const override;
};

}  // namespace quillory
