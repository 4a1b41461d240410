#include "design/gaussian_shadow.h"

#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <QSvgRenderer>
#include <cmath>
#include <vector>

namespace quillory {

namespace {

std::vector<float> gaussianKernel(double sigma) {
    const int reach = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> kernel(static_cast<size_t>(2 * reach + 1));
    float sum = 0;
    for (int i = -reach; i <= reach; ++i) {
        const auto weight = static_cast<float>(std::exp(-(i * i) / (2 * sigma * sigma)));
        kernel[static_cast<size_t>(i + reach)] = weight;
        sum += weight;
    }
    for (float& weight : kernel) {
        weight /= sum;
    }
    return kernel;
}

// One pass of the separable blur over a coverage plane, along rows (`step` 1) or columns.
std::vector<float> blurPass(const std::vector<float>& plane, int width, int height,
                            const std::vector<float>& kernel, bool alongRows) {
    const int reach = static_cast<int>(kernel.size() / 2);
    std::vector<float> out(plane.size(), 0.0f);
    const int length = alongRows ? width : height;
    const int lines = alongRows ? height : width;
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < length; ++i) {
            float sum = 0;
            for (int k = -reach; k <= reach; ++k) {
                const int j = i + k;
                if (j < 0 || j >= length) {
                    continue;
                }
                const int index = alongRows ? line * width + j : j * width + line;
                sum += plane[static_cast<size_t>(index)] * kernel[static_cast<size_t>(k + reach)];
            }
            out[static_cast<size_t>(alongRows ? line * width + i : i * width + line)] = sum;
        }
    }
    return out;
}

// The picture, its aspect kept, centred in `rect`.
void drawFitted(QPainter& painter, const QRectF& rect, const QImage& image) {
    const QSizeF fitted = QSizeF(image.size()).scaled(rect.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), fitted);
    target.moveCenter(rect.center());
    painter.drawImage(target, image);
}

// An empty coverage plane `pixels` large, with a painter scaled to points and the rectangle, in
// points, that the shape fills: the item less the blur's reach on every side.
struct ShapePlane {
    ShapePlane(QSize pixels, qreal scale, qreal blur)
        : image(pixels, QImage::Format_Alpha8),
          rect(QRectF(QPointF(0, 0), QSizeF(pixels) / scale)
                   .adjusted(1.5 * blur, 1.5 * blur, -1.5 * blur, -1.5 * blur)) {
        image.fill(0);
        painter.begin(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.scale(scale, scale);
    }

    QImage image;
    QRectF rect;
    QPainter painter;
};

// The shape's coverage blurred and tinted with `color`.
QImage castShadow(const QImage& shape, qreal scale, qreal blur, QColor color) {
    const int width = shape.width();
    const int height = shape.height();
    std::vector<float> plane(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        const uchar* line = shape.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            plane[static_cast<size_t>(y * width + x)] = line[x] / 255.0f;
        }
    }
    const double sigma = blur / 2 * scale;
    if (sigma > 0.1) {
        const std::vector<float> kernel = gaussianKernel(sigma);
        plane =
            blurPass(blurPass(plane, width, height, kernel, true), width, height, kernel, false);
    }
    QImage image(shape.size(), QImage::Format_ARGB32_Premultiplied);
    const float red = static_cast<float>(color.redF());
    const float green = static_cast<float>(color.greenF());
    const float blue = static_cast<float>(color.blueF());
    const float alpha = static_cast<float>(color.alphaF());
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float a =
                std::clamp(plane[static_cast<size_t>(y * width + x)], 0.0f, 1.0f) * alpha;
            line[x] = qRgba(qRound(red * a * 255), qRound(green * a * 255), qRound(blue * a * 255),
                            qRound(a * 255));
        }
    }
    return image;
}

}  // namespace

GaussianShadow::GaussianShadow(QQuickItem* parent) : QQuickPaintedItem(parent) {
    connect(this, &GaussianShadow::changed, this, [this] { update(); });
}

void GaussianShadow::setBlur(qreal blur) {
    if (blur != blur_) {
        blur_ = std::max<qreal>(0, blur);
        emit changed();
    }
}

void GaussianShadow::setShapeRadius(qreal radius) {
    if (radius != shapeRadius_) {
        shapeRadius_ = radius;
        emit changed();
    }
}

void GaussianShadow::setColor(const QColor& color) {
    if (color != color_) {
        color_ = color;
        emit changed();
    }
}

void GaussianShadow::setSource(const QUrl& source) {
    if (source != source_) {
        source_ = source;
        emit changed();
    }
}

void GaussianShadow::setImage(const QImage& image) {
    if (image != image_) {
        image_ = image;
        emit changed();
    }
}

void GaussianShadow::paint(QPainter* painter) {
    const qreal scale = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    const QSize pixels = (size() * scale).toSize();
    if (pixels.isEmpty()) {
        return;
    }
    if (!image_.isNull()) {
        painter->drawImage(boundingRect(), render(pixels, scale, blur_, color_, image_));
        return;
    }
    const QString picture = source_.scheme() == QLatin1String("qrc")
                                ? QLatin1Char(':') + source_.path()
                                : source_.toLocalFile();
    painter->drawImage(boundingRect(), render(pixels, scale, blur_, shapeRadius_, color_, picture));
}

QImage GaussianShadow::render(QSize pixels, qreal scale, qreal blur, qreal shapeRadius,
                              QColor color, const QString& picture) {
    ShapePlane shape(pixels, scale, blur);
    if (picture.isEmpty()) {
        const qreal radius =
            std::min({shapeRadius, shape.rect.width() / 2, shape.rect.height() / 2});
        shape.painter.setPen(Qt::NoPen);
        shape.painter.setBrush(Qt::black);
        shape.painter.drawRoundedRect(shape.rect, radius, radius);
    } else if (picture.endsWith(QLatin1String(".svg"))) {
        // A picture that cannot be read casts no shadow, as it draws nothing either.
        QSvgRenderer svg(picture);
        svg.setAspectRatioMode(Qt::KeepAspectRatio);
        if (svg.isValid()) {
            svg.render(&shape.painter, shape.rect);
        }
    } else if (const QImage image = QImageReader(picture).read(); !image.isNull()) {
        drawFitted(shape.painter, shape.rect, image);
    }
    shape.painter.end();
    return castShadow(shape.image, scale, blur, color);
}

QImage GaussianShadow::render(QSize pixels, qreal scale, qreal blur, QColor color,
                              const QImage& picture) {
    ShapePlane shape(pixels, scale, blur);
    drawFitted(shape.painter, shape.rect, picture);
    shape.painter.end();
    return castShadow(shape.image, scale, blur, color);
}

}  // namespace quillory
