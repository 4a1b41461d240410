#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include "design/app_icon.h"
#include "design/design_theme.h"

namespace quillory {

class DesignResources;

// Where the picture of a role comes from for one family.
struct IconSource {
    enum class Kind { none, file, theme };
    Kind kind = Kind::none;
    QString name;  // a resource path, or a theme icon name
};

// The system family takes the desktop theme's icon when the theme has one and the module's own
// glyph otherwise; a role whose file is missing has no source and draws nothing.
IconSource iconSource(AppIcon icon, AppIconFamily family, const DesignResources& resources);

// The picture at `pixels`, tinted with `color` (alpha kept); transparent when there is none.
QImage renderIcon(const IconSource& source, QSize pixels, const QColor& color);

// An SVG drawn as a single-colour template: fitted into `pixels` keeping its aspect ratio,
// centred, every painted pixel set to `color` at its own coverage.
QImage renderTemplateSvg(const QString& path, QSize pixels, const QColor& color);

// Recolours every pixel to `color`, keeping its alpha.
void tint(QImage& image, const QColor& color);

}  // namespace quillory
