#include "app/session/desktop_application_icons.h"

#include <QBuffer>
#include <QIcon>
#include <QPainter>
#include <cstring>

namespace quillory {

DesktopApplicationIcons::DesktopApplicationIcons(std::shared_ptr<X11WindowIcons> windowIcons,
                                                 const DesktopEntries& entries)
    : windowIcons_(std::move(windowIcons)), entries_(entries) {}

QImage DesktopApplicationIcons::image(const ApplicationInfo& application) {
    if (windowIcons_ && application.windowID != 0) {
        if (auto pixels = closestWindowIcon(windowIcons_->icons(application.windowID), side)) {
            // _NET_WM_ICON pixels are 0xAARRGGBB, as QImage's ARGB32.
            QImage image(pixels->width, pixels->height, QImage::Format_ARGB32);
            for (int y = 0; y < pixels->height; ++y) {
                std::memcpy(image.scanLine(y),
                            pixels->argb.data() + static_cast<std::size_t>(y) *
                                                      static_cast<std::size_t>(pixels->width),
                            static_cast<std::size_t>(pixels->width) * 4);
            }
            return image;
        }
    }
    const auto entry = entries_.find(application.identifier);
    if (!entry || entry->icon.empty()) {
        return {};
    }
    const QString icon = QString::fromStdString(entry->icon);
    if (icon.startsWith(QLatin1Char('/'))) {
        return QImage(icon);
    }
    // Pixmaps belong to the GUI thread: only the image leaves it.
    return QIcon::fromTheme(icon).pixmap(side, side).toImage();
}

ApplicationIcons::Render DesktopApplicationIcons::renderer(const ApplicationInfo& application) {
    QImage source = image(application);
    if (source.isNull()) {
        return nullptr;
    }
    return [source] { return renderPNG(source, side); };
}

std::optional<Bytes> DesktopApplicationIcons::renderPNG(const QImage& image, int sideLength) {
    if (image.isNull()) {
        return std::nullopt;
    }
    QImage canvas(sideLength, sideLength, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        // The tablet shows every icon in a square tile: a wide or tall picture is stretched to
        // fill it rather than left in a band between empty margins.
        QPainter painter(&canvas);
        painter.drawImage(
            0, 0,
            image.scaled(sideLength, sideLength, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!canvas.save(&buffer, "PNG")) {
        return std::nullopt;
    }
    return Bytes(encoded.begin(), encoded.end());
}

}  // namespace quillory
