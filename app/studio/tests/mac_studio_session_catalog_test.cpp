#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/studio/studio_source_catalog.h"
#include "app/studio/tests/mac_studio_session_fixture.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using Kind = StudioSignal::Kind;

class MacStudioSessionCatalogTest : public MacStudioSessionFixture {
  protected:
    std::vector<StudioSource> lastSources() const { return *lastOf(Kind::sources)->sources; }
    std::vector<std::string> names(const std::vector<StudioSource>& sources) const {
        std::vector<std::string> result;
        for (const auto& source : sources) {
            result.push_back(source.name);
        }
        return result;
    }
    std::vector<Uuid> thumbnailIDs() const {
        std::vector<Uuid> ids;
        for (const auto& signal : sent) {
            if (signal.kind == Kind::thumbnail) {
                ids.push_back(*signal.sourceID);
            }
        }
        return ids;
    }
    static Bytes jpeg(std::uint8_t fill) {
        Bytes bytes(100, fill);
        bytes[0] = 0xFF;
        bytes[1] = 0xD8;
        bytes[2] = 0xFF;
        return bytes;
    }
    // Answers every preview at once, each with a JPEG, pausing 80 ms between them.
    void completeThumbnails() {
        while (!previews.empty()) {
            completePreview(jpeg(1));
            main->advance(MacStudioSession::thumbnailPause);
        }
    }
};

TEST_F(MacStudioSessionCatalogTest, DisplaysThenTheFirstWindowsInApplicationNameOrder) {
    desktop->setDisplays({{.id = 1, .bounds = {0, 0, 1920, 1080}, .primary = true},
                          {.id = 2, .bounds = {1920, 0, 1280, 1024}},
                          {.id = 3, .bounds = {3200, 0, 1280, 1024}}});
    std::vector<ShareableWindow> windows;
    for (std::uint32_t id = 100; id < 140; ++id) {
        // Names from "App 39" down to "App 00": the list sorts them back up.
        windows.push_back(shareableWindow(
            id, "App " + std::string(id < 110 ? "3" : "") + std::to_string(139 - id)));
    }
    desktop->setShareableWindows(windows);
    listSources();
    const auto sources = lastSources();
    ASSERT_EQ(sources.size(), 32u);
    EXPECT_EQ(sources[0].name, "Main display");
    EXPECT_EQ(sources[2].name, "Display 3");
    std::vector<std::string> applications;
    for (std::size_t index = 3; index < sources.size(); ++index) {
        applications.push_back(*sources[index].application);
    }
    EXPECT_TRUE(std::is_sorted(applications.begin(), applications.end()));
    EXPECT_EQ(session->sourceCatalog().size(), 32u);
}

TEST_F(MacStudioSessionCatalogTest, WhichWindowsAreListedAndInWhatOrder) {
    auto small = shareableWindow(10, "Small", 501, {0, 0, 80, 500});
    auto flat = shareableWindow(11, "Flat", 502, {0, 0, 500, 80});
    auto fits = shareableWindow(12, "Fits", 503, {0, 0, 81, 81});
    auto own = shareableWindow(13, "Quillory", ownPid);
    auto remote = shareableWindow(14, "Remote", std::nullopt);
    auto bare = shareableWindow(15, "", 504);
    bare.application.reset();
    auto hidden = shareableWindow(16, "Hidden", 505);
    hidden.onScreen = false;
    auto panel = shareableWindow(17, "Panel", 506);
    panel.info.layer = 3;
    desktop->setShareableWindows(std::vector<ShareableWindow>{
        shareableWindow(20, "Zed"), shareableWindow(21, "alpha"), small, flat, fits, own,
        shareableWindow(22, "Alpha"), remote, bare, hidden, panel, shareableWindow(23, "Zed")});
    listSources();
    EXPECT_THAT(names(lastSources()),
                ElementsAre("Main display", "Display 2", "Window 15", "Window 22", "Window 12",
                            "Window 14", "Window 20", "Window 23", "Window 21"));
    EXPECT_FALSE(lastSources()[2].application);  // a window without an application has none
}

TEST_F(MacStudioSessionCatalogTest, ApplicationNamesAreCleanedAndCutToCharactersAndBytes) {
    const std::string flag = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7";  // 8 bytes, one character
    std::string flags;
    for (int index = 0; index < 60; ++index) {
        flags += flag;
    }
    struct Case {
        std::string raw;
        std::string listed;
    };
    const std::vector<Case> cases = {
        {"Two\nWords", "Two Words"},
        {"a\r\nb", "a  b"},
        {std::string(70, 'x'), std::string(60, 'x')},
        {"", ""},
        // Sixty characters are 480 bytes: cut at a character within 256 bytes.
        {flags, flags.substr(0, 256)},
    };
    std::vector<ShareableWindow> windows;
    for (std::uint32_t index = 0; index < cases.size(); ++index) {
        windows.push_back(
            shareableWindow(50 + index, cases[index].raw, 600 + static_cast<int>(index)));
    }
    desktop->setShareableWindows(windows);
    listSources();
    const auto signal = *lastOf(Kind::sources);
    EXPECT_TRUE(signal.isValid());
    std::vector<std::string> listed;
    for (const auto& source : *signal.sources) {
        if (source.application) {
            listed.push_back(*source.application);
        }
    }
    for (const auto& c : cases) {
        EXPECT_NE(std::find(listed.begin(), listed.end(), c.listed), listed.end()) << c.listed;
    }
}

TEST_F(MacStudioSessionCatalogTest, IdsAreKeptAcrossPassesAndNewAfterAWindowReopens) {
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    listSources();
    const auto first = lastSources();
    desktop->setShareableWindows(std::vector<ShareableWindow>{});
    listSources();
    const auto second = lastSources();
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    listSources();
    const auto third = lastSources();
    EXPECT_EQ(first[0].id, second[0].id);
    EXPECT_EQ(first[1].id, third[1].id);
    ASSERT_EQ(third.size(), 3u);
    EXPECT_NE(first[2].id, third[2].id);
}

TEST_F(MacStudioSessionCatalogTest, IconsAreLookedUpOncePerApplicationAndOnlySmallOnesAreKept) {
    auto big = shareableWindow(40, "Big", 700);
    imageSide[40] = 300;
    desktop->setShareableWindows(std::vector<ShareableWindow>{
        shareableWindow(30, "Editor", 600), shareableWindow(31, "Editor", 600), big});
    listSources();
    EXPECT_EQ(imageLookups, 2);
    EXPECT_EQ(artworkKeys.size(), 3u);
    EXPECT_EQ(artworkImages, 2u);
    EXPECT_EQ(session->cachedApplicationImages(), 1u);
    listSources();
    EXPECT_EQ(imageLookups, 3);  // only the big image is looked up again
}

TEST_F(MacStudioSessionCatalogTest, AListIsNeverSentInvalid) {
    desktop->setShareableWindows(
        std::vector<ShareableWindow>{shareableWindow(30, "Editor"), shareableWindow(31, "Viewer")});
    // Icons that break the PNG rule at every side: the list goes without them.
    iconFor = [](const StudioSource&) { return Bytes(10, 0); };
    listSources();
    const auto signal = *lastOf(Kind::sources);
    EXPECT_TRUE(signal.isValid());
    ASSERT_EQ(signal.sources->size(), 4u);
    for (const auto& source : *signal.sources) {
        EXPECT_FALSE(source.iconPNG);
    }

    // The last resort drops what breaks the rule and keeps the rest.
    std::vector<StudioSource> list = {
        {.id = Uuid::random(), .kind = StudioSource::Kind::display, .name = "Main display"},
        {.id = Uuid::random(), .kind = StudioSource::Kind::window, .name = std::string(300, 'n')},
        {.id = Uuid::random(), .kind = StudioSource::Kind::window, .name = "ok"},
    };
    EXPECT_THAT(names(sendableSources(Uuid::random(), list)), ElementsAre("Main display", "ok"));
}

TEST_F(MacStudioSessionCatalogTest, AFailedContentReadAnswersAnEmptyListAndKeepsTheCatalog) {
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    listSources();
    const auto catalog = session->sourceCatalog();
    session->handle(StudioSignal{.id = Uuid::random(), .kind = Kind::listSources});
    run();
    deliverContent(false);
    ASSERT_TRUE(lastOf(Kind::sources));
    EXPECT_TRUE(lastOf(Kind::sources)->sources->empty());
    EXPECT_EQ(session->sourceCatalog().size(), catalog.size());
    EXPECT_EQ(session->sourceCatalog().begin()->first, catalog.begin()->first);
}

TEST_F(MacStudioSessionCatalogTest, SpaceChangesRefreshWithinTwoMinutesOnceAfterTheLastOfABurst) {
    const Uuid id = listSources();
    completeThumbnails();
    ASSERT_TRUE(spaceChanged);
    const auto listsSent = [&] {
        return std::count_if(sent.begin(), sent.end(), [&](const StudioSignal& signal) {
            return signal.kind == Kind::sources && signal.id == id;
        });
    };

    main->advance(119.0);
    spaceChanged();
    main->advance(0.3);
    spaceChanged();
    main->advance(0.49);
    EXPECT_TRUE(contentReads.empty());
    main->advance(0.02);
    ASSERT_EQ(contentReads.size(), 1u);  // one refresh, 0.5 s after the last change
    deliverContent();
    completeThumbnails();
    EXPECT_EQ(listsSent(), 2);

    // The refresh opened a new window of 120 s; past it nothing happens.
    main->advance(121.0);
    spaceChanged();
    main->advance(1.0);
    EXPECT_TRUE(contentReads.empty());

    // After a reset nothing happens until the next request.
    listSources();
    session->reset(true);
    spaceChanged();
    main->advance(1.0);
    EXPECT_TRUE(contentReads.empty());
}

TEST_F(MacStudioSessionCatalogTest, ThumbnailsComeDisplaysFirstEightyMillisecondsApart) {
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    const Uuid id = listSources();
    const auto sources = lastSources();
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews.front().first, "display:1");
    completePreview(jpeg(1));
    EXPECT_TRUE(previews.empty());  // the pause
    main->advance(0.079);
    EXPECT_TRUE(previews.empty());
    main->advance(0.001);
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews.front().first, "display:2");
    // A source that yields nothing is skipped without a pause.
    completePreview(std::nullopt);
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews.front().first, "window:30");
    completePreview(jpeg(3));
    EXPECT_THAT(thumbnailIDs(), ElementsAre(sources[0].id, sources[2].id));
    EXPECT_EQ(lastOf(Kind::thumbnail)->id, id);
    EXPECT_EQ(lastOf(Kind::thumbnail)->thumbnail, jpeg(3));
}

TEST_F(MacStudioSessionCatalogTest, PreviewsAreReusedAtThreeSecondsAndRetakenAtSix) {
    listSources();
    completeThumbnails();
    sent.clear();
    main->advance(3.0);
    listSources();
    EXPECT_TRUE(previews.empty());
    EXPECT_EQ(thumbnailIDs().size(), 1u);
    main->advance(MacStudioSession::thumbnailPause);
    EXPECT_EQ(thumbnailIDs().size(), 2u);
    EXPECT_TRUE(previews.empty());

    main->advance(3.0);  // six seconds after the captures
    listSources();
    EXPECT_EQ(previews.size(), 1u);
}

TEST_F(MacStudioSessionCatalogTest, ANewListDuringACaptureCachesItAndEndsTheOldPass) {
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    const Uuid first = listSources();
    completePreview(jpeg(1));
    main->advance(MacStudioSession::thumbnailPause);
    completePreview(jpeg(2));
    main->advance(MacStudioSession::thumbnailPause);
    ASSERT_EQ(previews.size(), 1u);  // the third capture runs

    const Uuid second = Uuid::random();
    session->handle(StudioSignal{.id = second, .kind = Kind::listSources});
    run();
    completePreview(jpeg(3));  // the old pass's capture arrives
    main->advance(1.0);
    for (const auto& signal : sent) {
        if (signal.kind == Kind::thumbnail) {
            EXPECT_EQ(signal.id, first);
        }
    }
    EXPECT_EQ(thumbnailIDs().size(), 2u);

    deliverContent();
    EXPECT_EQ(lastOf(Kind::sources)->id, second);
    // All three previews are fresh: the new pass takes none.
    main->advance(1.0);
    EXPECT_TRUE(previews.empty());
    EXPECT_EQ(thumbnailIDs().size(), 5u);
    EXPECT_EQ(lastOf(Kind::thumbnail)->thumbnail, jpeg(3));
}

TEST_F(MacStudioSessionCatalogTest, TeardownEmptiesThePreviewCacheAndStopsThePass) {
    listSources();
    completePreview(jpeg(1));
    started();  // a stream's teardown cancels the catalog pass
    main->advance(1.0);
    EXPECT_TRUE(previews.empty());
    listSources();
    EXPECT_EQ(previews.size(), 1u);  // captured afresh
}

TEST(StudioSourceCatalogTest, TheApplicationKeyNamesOneLaunch) {
    const WindowApplication application{.identifier = "org.example.Editor"};
    const auto self = static_cast<std::int32_t>(getpid());
    const std::string key = StudioSourceCatalog::applicationKey(self, application);
    EXPECT_TRUE(key.starts_with(std::to_string(self) + ":"));
    EXPECT_TRUE(key.ends_with(":" + std::filesystem::read_symlink("/proc/self/exe").string()));
    EXPECT_NE(key.find(":0:"), std::string::size_type(std::to_string(self).size()));
    // A process that cannot be read falls back to the identifier.
    EXPECT_EQ(StudioSourceCatalog::applicationKey(-5, application), "-5:0:org.example.Editor");
}

}  // namespace
}  // namespace quillory
