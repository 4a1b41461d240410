#include "app/interface/ink/ink_raster.h"

#include <gtest/gtest.h>

#include <random>

#include "app/interface/ink/testing/recorded_strokes.h"
#include "platform/dispatch/serial_queue.h"

namespace quillory {
namespace {

// The history as the input control keeps it, trimmed at a small limit so tests stay quick.
struct History {
    std::vector<PenSample> samples;
    std::uint64_t appended = 0;
    std::uint64_t generation = 0;

    InkHistory view() const { return {samples, appended, generation}; }
    void append(std::span<const PenSample> batch, std::size_t limit) {
        samples.insert(samples.end(), batch.begin(), batch.end());
        appended += batch.size();
        if (samples.size() > limit) {
            samples.erase(samples.begin(), samples.end() - static_cast<std::ptrdiff_t>(limit));
        }
    }
    void clear() {
        samples.clear();
        ++generation;
    }
};

const QColor lightInk(0x1a, 0x1c, 0x22);
const QColor darkInk(0xf2, 0xf3, 0xf5);
const QColor gridColor(0xd9, 0xdc, 0xe3);

// Largest difference of any channel of any pixel.
int difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 256;
    }
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            largest = std::max({largest, std::abs(qRed(rowA[x]) - qRed(rowB[x])),
                                std::abs(qGreen(rowA[x]) - qGreen(rowB[x])),
                                std::abs(qBlue(rowA[x]) - qBlue(rowB[x])),
                                std::abs(qAlpha(rowA[x]) - qAlpha(rowB[x]))});
        }
    }
    return largest;
}

// Lets the raster's background work land, as the item's next frames would.
void settle(InkRaster& raster, SerialQueue& queue, const History& history, const InkLook& look) {
    do {
        ASSERT_TRUE(queue.sync([] {}));
        raster.update(history.view(), look);
    } while (raster.settling());
}

// Batches, clears, drops at the limit, grid toggles and palette changes, in a seeded order:
// once its work has landed the raster is the fresh paint of the same history.
TEST(InkRaster, KeptRasterEqualsAFreshPaintOfTheSameHistory) {
    for (double ratio : {1.0, 2.0}) {
        const auto strokes = recordedStrokes(6000, 7, 60);
        auto queue = std::make_shared<SerialQueue>("app.quillory.ink");
        InkRaster raster(queue);
        History history;
        InkLook look{QSizeF(190, 107.5), ratio, true, gridColor, lightInk};
        std::mt19937 random(26);
        std::size_t next = 0;
        for (int step = 0; step < 600 && next < strokes.size(); ++step) {
            const auto roll = random() % 100;
            if (roll < 2) {
                history.clear();
            } else if (roll < 4) {
                look.grid = !look.grid;
            } else if (roll < 5) {
                look.inkColor = look.inkColor == lightInk ? darkInk : lightInk;
            } else {
                const std::size_t count =
                    std::min<std::size_t>(1 + random() % 8, strokes.size() - next);
                history.append(std::span(strokes).subspan(next, count), 300);
                next += count;
            }
            raster.update(history.view(), look);
            if (step % 97 == 0) {
                settle(raster, *queue, history, look);
                ASSERT_LE(difference(raster.image(), InkRaster::paint(history.samples, look)), 1)
                    << "ratio " << ratio << " step " << step;
            }
        }
        settle(raster, *queue, history, look);
        EXPECT_LE(difference(raster.image(), InkRaster::paint(history.samples, look)), 1)
            << "ratio " << ratio;
        EXPECT_EQ(raster.image().size(),
                  QSize(190 * static_cast<int>(ratio), static_cast<int>(std::ceil(107.5 * ratio))));
    }
}

// New batches and drops at the limit never rebuild on the calling thread; the dropped strokes
// leave once the background rebuild lands.
TEST(InkRaster, DropsAtTheLimitRebuildOffTheCallingThread) {
    auto queue = std::make_shared<SerialQueue>("app.quillory.ink");
    InkRaster raster(queue);
    const InkLook look{QSizeF(120, 80), 1, false, gridColor, lightInk};
    History history;
    PenSample corner;  // a dot in the top-left corner, then strokes far from it
    corner.phase = PenSample::Phase::began;
    corner.x = 0.05;
    corner.y = 0.05;
    corner.pressure = 1;
    history.append(std::span(&corner, 1), 50);
    raster.update(history.view(), look);
    EXPECT_EQ(raster.rebuildsHere(), 1u);
    EXPECT_GT(qAlpha(raster.image().pixel(6, 4)), 200);
    auto strokes = recordedStrokes(400, 3, 40);
    for (auto& sample : strokes) {
        sample.x = 0.5 + sample.x * 0.4;
    }
    for (std::size_t i = 0; i < strokes.size(); i += 4) {
        history.append(std::span(strokes).subspan(i, 4), 50);
        raster.update(history.view(), look);
    }
    EXPECT_EQ(raster.rebuildsHere(), 1u);
    settle(raster, *queue, history, look);
    EXPECT_EQ(qAlpha(raster.image().pixel(6, 4)), 0);
    EXPECT_EQ(raster.rebuildsHere(), 1u);
}

}  // namespace
}  // namespace quillory
