#include "app/interface/ink/ink_raster.h"

#include <QPainter>
#include <QPolygonF>
#include <cmath>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/dispatch/serial_queue.h"

namespace quillory {

namespace {

InkSize inkSize(const InkLook& look) {
    return {look.size.width(), look.size.height()};
}

QImage blankImage(const InkLook& look) {
    const QSize pixels(static_cast<int>(std::ceil(look.size.width() * look.ratio)),
                       static_cast<int>(std::ceil(look.size.height() * look.ratio)));
    QImage image(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage gridImage(const InkLook& look) {
    QImage image = blankImage(look);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(look.gridColor);
    painter.scale(look.ratio, look.ratio);
    for (const InkPoint& dot : InkGeometry::gridDots(inkSize(look), look.grid)) {
        painter.drawEllipse(
            QRectF(dot.x, dot.y, InkGeometry::gridDotSize, InkGeometry::gridDotSize));
    }
    return image;
}

}  // namespace

// What rebuilds reuse: the grid, and antialiased discs drawn once per diameter and quarter-pixel
// position, then blended as sprites: a stroke has two round caps per segment, and painting each as
// a path was most of a rebuild's time.
class InkRaster::Kept {
  public:
    // The grid alone, kept for rebuilds with the same look of the grid.
    const QImage& grid(const InkLook& look) {
        if (grid_.isNull() || look.size != gridLook_.size || look.ratio != gridLook_.ratio ||
            look.grid != gridLook_.grid || look.gridColor != gridLook_.gridColor) {
            grid_ = gridImage(look);
            gridLook_ = look;
        }
        return grid_;
    }

    void disc(QPainter& painter, QPointF centre, double diameter, const QColor& color) {
        if (color != color_) {
            sprites_.clear();
            color_ = color;
        }
        const double left = std::floor(centre.x());
        const double top = std::floor(centre.y());
        int fx = static_cast<int>(std::lround((centre.x() - left) * steps));
        int fy = static_cast<int>(std::lround((centre.y() - top) * steps));
        const int size = static_cast<int>(std::lround(diameter * steps));
        const int key = (size * (steps + 1) + fx) * (steps + 1) + fy;
        auto found = sprites_.find(key);
        if (found == sprites_.end()) {
            found = sprites_.emplace(key, sprite(size, fx, fy)).first;
        }
        const int half = found->second.width() / 2;
        painter.drawImage(QPoint(static_cast<int>(left) - half, static_cast<int>(top) - half),
                          found->second);
    }

  private:
    static constexpr int steps = 4;

    QImage sprite(int size, int fx, int fy) const {
        const double diameter = static_cast<double>(size) / steps;
        const int half = static_cast<int>(std::ceil(diameter / 2)) + 2;
        QImage image(2 * half, 2 * half, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color_);
        const QPointF centre(half + static_cast<double>(fx) / steps,
                             half + static_cast<double>(fy) / steps);
        painter.drawEllipse(centre, diameter / 2, diameter / 2);
        return image;
    }

    QColor color_;
    std::unordered_map<int, QImage> sprites_;
    InkLook gridLook_;
    QImage grid_;
};

namespace {

// Paints stroke marks, in device pixels, onto an image that already holds what came before.
void paintMarks(QImage& image, const InkLook& look, const std::vector<InkMark>& marks,
                InkRaster::Kept& kept) {
    if (marks.empty()) {
        return;
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(look.inkColor);
    const double ratio = look.ratio;
    for (const InkMark& mark : marks) {
        const double diameter = mark.width * ratio;
        const QPointF from(mark.from.x * ratio, mark.from.y * ratio);
        // The cap of the mark before, concentric and at least as wide, already covers this one.
        if (mark.width > mark.joined) {
            kept.disc(painter, from, diameter, look.inkColor);
        }
        if (mark.kind == InkMark::Kind::dot) {
            continue;
        }
        const QPointF to(mark.to.x * ratio, mark.to.y * ratio);
        kept.disc(painter, to, diameter, look.inkColor);
        const QPointF along = to - from;
        const double length = std::hypot(along.x(), along.y());
        const double radius = diameter / 2;
        // The body between the caps, unless the two discs leave less than 1/16 pixel of it
        // uncovered: at 240 Hz most segments are a pixel long, far shorter than wide.
        if (radius - std::sqrt(std::max(0.0, radius * radius - length * length / 4)) < 1.0 / 16) {
            continue;
        }
        const QPointF across(-along.y() * radius / length, along.x() * radius / length);
        const QPointF corners[] = {from + across, to + across, to - across, from - across};
        painter.drawConvexPolygon(corners, 4);
    }
}

}  // namespace

struct InkRaster::Rebuilt {
    QImage image;
    std::uint64_t epoch = 0;
    std::uint64_t first = 0;
    std::uint64_t end = 0;
};

struct InkRaster::Shared {
    std::mutex lock;
    std::optional<Rebuilt> rebuilt;   // guarded by lock
    std::function<void()> onRebuilt;  // set before any work is queued
    Kept kept;                        // the queue's own
};

InkRaster::InkRaster(std::shared_ptr<SerialQueue> queue)
    : queue_(std::move(queue)),
      shared_(std::make_shared<Shared>()),
      kept_(std::make_unique<Kept>()) {}

InkRaster::~InkRaster() = default;

void InkRaster::onRebuilt(std::function<void()> rebuilt) {
    shared_->onRebuilt = std::move(rebuilt);
}

QImage InkRaster::paint(std::span<const PenSample> samples, const InkLook& look) {
    Kept kept;
    return paint(samples, look, kept);
}

QImage InkRaster::paint(std::span<const PenSample> samples, const InkLook& look, Kept& kept) {
    QImage image = kept.grid(look);
    paintMarks(image, look, InkGeometry::marks(samples, inkSize(look)), kept);
    return image;
}

bool InkRaster::settling() const {
    return rebuilding_ || historyFirst_ > first_;
}

bool InkRaster::update(const InkHistory& history, const InkLook& look) {
    const std::uint64_t first = history.appended - history.samples.size();
    historyFirst_ = first;
    if (!built_ || look != look_ || history.generation != generation_ ||
        history.appended < painted_) {
        rebuildHere(history, look);
        return true;
    }
    bool changed = takeRebuilt();
    if (history.appended > painted_) {
        paintFrom(history, painted_);
        changed = true;
    }
    if (first > first_ && !rebuilding_) {
        if (queue_) {
            startRebuild(history);
        } else {
            rebuildHere(history, look);
            changed = true;
        }
    }
    return changed;
}

void InkRaster::rebuildHere(const InkHistory& history, const InkLook& look) {
    look_ = look;
    generation_ = history.generation;
    image_ = paint(history.samples, look, *kept_);
    built_ = true;
    first_ = history.appended - history.samples.size();
    painted_ = history.appended;
    ++epoch_;
    ++rebuildsHere_;
}

void InkRaster::paintFrom(const InkHistory& history, std::uint64_t from) {
    const std::uint64_t first = history.appended - history.samples.size();
    const auto index = static_cast<std::size_t>(from > first ? from - first : 0);
    std::vector<InkMark> marks;
    InkGeometry::marks(history.samples, index, inkSize(look_), marks);
    paintMarks(image_, look_, marks, *kept_);
    painted_ = history.appended;
}

void InkRaster::startRebuild(const InkHistory& history) {
    rebuilding_ = true;
    std::weak_ptr<Shared> weak = shared_;
    queue_->async([weak,
                   samples = std::vector<PenSample>(history.samples.begin(), history.samples.end()),
                   look = look_, epoch = epoch_, end = history.appended] {
        const auto shared = weak.lock();
        if (!shared) {
            return;
        }
        Rebuilt rebuilt{paint(samples, look, shared->kept), epoch, end - samples.size(), end};
        {
            std::lock_guard guard(shared->lock);
            shared->rebuilt = std::move(rebuilt);
        }
        if (shared->onRebuilt) {
            shared->onRebuilt();
        }
    });
}

bool InkRaster::takeRebuilt() {
    std::optional<Rebuilt> rebuilt;
    {
        std::lock_guard guard(shared_->lock);
        rebuilt.swap(shared_->rebuilt);
    }
    if (!rebuilt) {
        return false;
    }
    rebuilding_ = false;
    if (rebuilt->epoch != epoch_ || rebuilt->end > painted_) {
        return false;
    }
    image_ = std::move(rebuilt->image);
    first_ = rebuilt->first;
    painted_ = rebuilt->end;
    return true;
}

}  // namespace quillory
