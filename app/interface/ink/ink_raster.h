#pragma once

#include <QColor>
#include <QImage>
#include <QSizeF>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "app/interface/ink/ink_geometry.h"

namespace quillory {

class SerialQueue;

// The pen test history as the input control keeps it: its samples by reference, how many were
// ever appended and the generation an emptying bumps.
struct InkHistory {
    std::span<const PenSample> samples;
    std::uint64_t appended = 0;
    std::uint64_t generation = 0;
};

// Everything that, when it changes, makes every pixel of the raster stale.
struct InkLook {
    QSizeF size;  // canvas points
    double ratio = 1;
    bool grid = true;
    QColor gridColor;
    QColor inkColor;

    friend bool operator==(const InkLook&, const InkLook&) = default;
};

// The grid and strokes of the pen test at device pixels, kept between frames so that a frame
// paints only its new batch. A rebuild (a new generation or look) is painted at once; samples
// leaving the front at the history's limit, which happens on every frame there, are handled by
// rebuilding on `queue` while new batches keep landing on the current raster, and swapping the
// result in (caught up with the batches since) on a later update. GUI thread only, except the
// rebuild work on the queue.
class InkRaster {
  public:
    // Without a queue every rebuild is painted at once.
    explicit InkRaster(std::shared_ptr<SerialQueue> queue = nullptr);
    ~InkRaster();
    InkRaster(const InkRaster&) = delete;
    InkRaster& operator=(const InkRaster&) = delete;

    // Runs on the queue when a background rebuild is ready; the owner asks for another update.
    void onRebuilt(std::function<void()> rebuilt);

    // Brings the raster up to the history; true when its pixels changed.
    bool update(const InkHistory& history, const InkLook& look);
    // Device pixels (size × ratio, rounded up), transparent where nothing is drawn.
    const QImage& image() const { return image_; }
    // A background rebuild is running or the front the raster shows is stale.
    bool settling() const;
    std::uint64_t rebuildsHere() const { return rebuildsHere_; }

    // The whole picture painted from scratch: what update() converges to.
    static QImage paint(std::span<const PenSample> samples, const InkLook& look);

    class Kept;

  private:
    struct Shared;
    struct Rebuilt;

    static QImage paint(std::span<const PenSample> samples, const InkLook& look, Kept& kept);
    void rebuildHere(const InkHistory& history, const InkLook& look);
    void startRebuild(const InkHistory& history);
    bool takeRebuilt();
    void paintFrom(const InkHistory& history, std::uint64_t from);

    std::shared_ptr<SerialQueue> queue_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<Kept> kept_;  // the calling thread's
    QImage image_;
    InkLook look_;
    bool built_ = false;
    std::uint64_t generation_ = 0;
    std::uint64_t first_ = 0;         // the history index whose stroke pass the raster starts with
    std::uint64_t painted_ = 0;       // history index up to which it is painted
    std::uint64_t historyFirst_ = 0;  // the index of the history's first sample at the last update
    std::uint64_t epoch_ = 0;         // bumped by every rebuild here; older background work is void
    bool rebuilding_ = false;
    std::uint64_t rebuildsHere_ = 0;
};

}  // namespace quillory
