#include "app/studio/studio_application_artwork.h"

#include <gtest/gtest.h>

#include <mutex>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory {
namespace {

// Bytes that pass the icon rule when at most 12,000 long: the PNG signature and an IHDR with
// the side as width and height, padded to `size`.
Bytes fakePNG(int side, std::size_t size) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (int i = 0; i < 2; ++i) {
        png.insert(png.end(), {0, 0, 0, static_cast<std::uint8_t>(side)});
    }
    png.resize(std::max(size, png.size()), 0);
    return png;
}

class StudioApplicationArtworkTest : public ::testing::Test {
  protected:
    void SetUp() override { MainQueue::install(executor); }
    void TearDown() override {
        artwork.reset();
        MainQueue::install(nullptr);
    }

    // Renders a PNG of `sizeAt(side)` bytes and counts renderings per side.
    void make(std::function<std::size_t(int)> sizeAt) {
        artwork = StudioApplicationArtwork::create(
            [this, sizeAt](const ApplicationImage&, int side) -> std::optional<Bytes> {
                std::lock_guard lock(mutex);
                ++renders[side];
                if (onRender) {
                    onRender();
                }
                const auto size = sizeAt(side);
                if (size == 0) {
                    return std::nullopt;
                }
                return fakePNG(side, size);
            });
    }

    std::optional<std::vector<StudioSource>> run(
        const std::vector<StudioSource>& list, const StudioApplicationArtwork::SourceKeys& byID,
        const StudioApplicationArtwork::Images& byKey,
        std::shared_ptr<CancelToken> cancel = std::make_shared<CancelToken>()) {
        bool done = false;
        std::optional<std::vector<StudioSource>> result;
        artwork->artwork(list, Uuid::random(), byID, byKey, cancel, [&](auto answer) {
            result = std::move(answer);
            done = true;
        });
        while (!done) {
            EXPECT_TRUE(executor->waitForWork(10));
            executor->runUntilIdle();
        }
        return result;
    }
    int rendered(int side) {
        std::lock_guard lock(mutex);
        return renders[side];
    }
    int renderedTotal() {
        std::lock_guard lock(mutex);
        int total = 0;
        for (const auto& [side, count] : renders) {
            total += count;
        }
        return total;
    }

    // `count` windows of applications app0, app1, ... and a display first.
    void arrange(int count, int applications) {
        sources = {
            {.id = Uuid::random(), .kind = StudioSource::Kind::display, .name = "Main display"}};
        for (int i = 0; i < count; ++i) {
            const std::string key = "app" + std::to_string(i % applications);
            sources.push_back({.id = Uuid::random(),
                               .kind = StudioSource::Kind::window,
                               .name = "W" + std::to_string(i)});
            keys[sources.back().id] = key;
            images[key] = ApplicationImage{2, 2, {0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000}};
        }
    }
    static std::optional<int> side(const StudioSource& source) {
        if (!source.iconPNG) {
            return std::nullopt;
        }
        return (*source.iconPNG)[19];
    }

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<StudioApplicationArtwork> artwork;
    std::mutex mutex;
    std::map<int, int> renders;
    std::function<void()> onRender;
    std::vector<StudioSource> sources;
    StudioApplicationArtwork::SourceKeys keys;
    StudioApplicationArtwork::Images images;
};

TEST_F(StudioApplicationArtworkTest, AListTooLargeAtOneSideFallsToASmallerOne) {
    // 31 applications with 2,000-byte icons at 64 overrun the 44,000-byte list; 48 fits.
    make([](int side) { return side == 64 ? std::size_t{2000} : std::size_t{300}; });
    arrange(31, 31);
    const auto result = run(sources, keys, images);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->size(), sources.size());
    EXPECT_EQ((*result)[0], sources[0]);  // the display has no application: unchanged
    for (std::size_t i = 1; i < result->size(); ++i) {
        EXPECT_EQ(side((*result)[i]), 48);
        EXPECT_EQ((*result)[i].name, sources[i].name);
    }
    EXPECT_EQ(rendered(64), 31);
    EXPECT_EQ(rendered(48), 31);
    EXPECT_EQ(rendered(32), 0);
}

TEST_F(StudioApplicationArtworkTest, NothingThatFitsGivesTheSourcesUnchanged) {
    make([](int) { return std::size_t{13000}; });  // above the icon rule at every side
    arrange(3, 2);
    EXPECT_EQ(run(sources, keys, images), sources);
    EXPECT_EQ(renderedTotal(), 2 * 5);
}

TEST_F(StudioApplicationArtworkTest, OneApplicationRendersOncePerSideAcrossListsUntilItIsGone) {
    make([](int) { return std::size_t{100}; });
    arrange(4, 1);  // four windows of one application
    const auto first = run(sources, keys, images);
    ASSERT_TRUE(first);
    EXPECT_EQ(side((*first)[4]), 64);
    EXPECT_EQ(rendered(64), 1);
    run(sources, keys, images);
    EXPECT_EQ(rendered(64), 1);
    // Empty images empty the cache: the application renders again when it is back.
    EXPECT_EQ(run(sources, keys, {}), sources);
    run(sources, keys, images);
    EXPECT_EQ(rendered(64), 2);
}

TEST_F(StudioApplicationArtworkTest, AFailedRenderingLeavesThatIconOutAndStoresNothing) {
    make([](int) { return std::size_t{0}; });
    arrange(2, 2);
    EXPECT_EQ(run(sources, keys, images), sources);  // valid without icons at the first side
    run(sources, keys, images);
    EXPECT_EQ(rendered(64), 4);
}

TEST_F(StudioApplicationArtworkTest, ACancelMidListKeepsWhatWasRendered) {
    make([](int) { return std::size_t{100}; });
    arrange(5, 5);
    auto cancel = std::make_shared<CancelToken>();
    onRender = [&] {
        if (renders[64] == 2) {
            cancel->cancel();
        }
    };
    EXPECT_EQ(run(sources, keys, images, cancel), std::nullopt);
    EXPECT_EQ(rendered(64), 2);
    onRender = nullptr;
    const auto result = run(sources, keys, images);
    ASSERT_TRUE(result);
    EXPECT_EQ(rendered(64), 5);  // the two kept, three more
    EXPECT_EQ(run({}, keys, images), std::vector<StudioSource>{});
}

TEST(ApplicationImageTest, PrefersTheWindowsIconClosestToAtLeast64ThenTheTheme) {
    const auto icon = [](int side) {
        return WindowIcon{side, side,
                          std::vector<std::uint32_t>(static_cast<std::size_t>(side * side))};
    };
    int themeCalls = 0;
    const ThemeIconLoader theme = [&](const std::string& name, int side) {
        ++themeCalls;
        EXPECT_EQ(name, "org.example.Editor");
        return std::optional(ApplicationImage{side, side, {}});
    };
    const struct {
        std::vector<WindowIcon> icons;
        int expectedWidth;
    } cases[] = {
        {{icon(16), icon(128), icon(64), icon(256)}, 64},
        {{icon(16), icon(256), icon(96)}, 96},
        {{icon(16), icon(48), icon(32)}, 48},  // none large enough: the largest
        {{}, 64},                              // the theme's, at 64
    };
    for (const auto& c : cases) {
        const auto image = applicationImage(c.icons, "org.example.Editor", theme);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, c.expectedWidth);
    }
    EXPECT_EQ(themeCalls, 1);
    EXPECT_FALSE(applicationImage({}, "", theme));
}

TEST(WindowIconsTest, ParsingStopsAtAMalformedEntry) {
    const std::vector<std::uint32_t> good{2, 1, 0xFF0000FF, 0xFF00FF00, 1, 1, 0xFFFFFFFF};
    EXPECT_EQ(parseWindowIcons(good).size(), 2u);
    const struct {
        std::vector<std::uint32_t> values;
        std::size_t icons;
    } cases[] = {
        {{2, 2, 1, 2, 3}, 0},                    // shorter than it claims
        {{1, 1, 7, 0, 5}, 1},                    // an empty entry ends the list
        {{1, 1, 7, 0xFFFFFFFF, 0xFFFFFFFF}, 1},  // a side far too large
        {{1, 1, 7, 2}, 1},                       // a lone width
        {{}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseWindowIcons(c.values).size(), c.icons);
    }
}

}  // namespace
}  // namespace quillory
