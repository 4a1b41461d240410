#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/studio/studio_session_workers.h"
#include "app/studio/tests/mac_studio_session_fixture.h"

namespace quillory {
namespace {

using Kind = StudioSignal::Kind;

// The smallest bytes the icon rule accepts: signature, IHDR, width and height.
Bytes iconPNG(int side) {
    Bytes bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>((side >> shift) & 0xFF));
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>((side >> shift) & 0xFF));
    }
    bytes.resize(40, 0);
    return bytes;
}

// Content reads, previews and icons on their real queues; the session on the manual main
// executor, which waits for their completions.
class MacStudioSessionThreadsTest : public MacStudioSessionFixture {
  protected:
    void SetUp() override {
        MacStudioSessionFixture::SetUp();
        auto e = environment();
        e.readContent = StudioSessionWorkers::contentReader(contentQueue, desktop);
        e.capturePreview = StudioSessionWorkers::previewGrabber(
            previewQueue,
            PreviewCapture{
                .grab = [](const CaptureTarget&, PreviewSize size) -> std::optional<BgrxPicture> {
                    return BgrxPicture{
                        size.width, size.height,
                        std::vector<std::uint8_t>(
                            static_cast<std::size_t>(size.width * size.height) * 4, 0x80)};
                },
                .encode = [](const BgrxPicture&, int) -> std::optional<Bytes> {
                    Bytes jpeg(200, 0x11);
                    jpeg[0] = 0xFF;
                    jpeg[1] = 0xD8;
                    jpeg[2] = 0xFF;
                    return jpeg;
                }});
        e.artwork = StudioSessionWorkers::artwork(StudioApplicationArtwork::create(
            [](const ApplicationImage&, int side) -> std::optional<Bytes> {
                return iconPNG(side);
            }));
        session = MacStudioSession::create(std::move(e));
        wire();
    }

    // Runs the main executor until `done` holds, waiting for the workers in between.
    template <class Condition>
    bool runUntil(Condition done) {
        for (int round = 0; round < 1000 && !done(); ++round) {
            main->waitForWork(1.0);
            main->runUntilIdle();
            main->advance(MacStudioSession::thumbnailPause);
        }
        return done();
    }
    std::size_t count(Kind kind) const {
        return static_cast<std::size_t>(std::count_if(
            sent.begin(), sent.end(), [&](const StudioSignal& s) { return s.kind == kind; }));
    }

    std::shared_ptr<SerialQueue> contentQueue =
        std::make_shared<SerialQueue>("app.quillory.studio.content");
    std::shared_ptr<SerialQueue> previewQueue =
        std::make_shared<SerialQueue>("app.quillory.studio.preview");
};

TEST_F(MacStudioSessionThreadsTest, AListCrossesTheWorkersAndComesBackWithIconsAndThumbnails) {
    desktop->setShareableWindows(
        std::vector<ShareableWindow>{shareableWindow(30, "Editor"), shareableWindow(31, "Viewer")});
    session->handle(StudioSignal{.id = Uuid::random(), .kind = Kind::listSources});
    ASSERT_TRUE(runUntil([&] { return count(Kind::thumbnail) == 4; }));
    const auto sources = *lastOf(Kind::sources)->sources;
    ASSERT_EQ(sources.size(), 4u);
    EXPECT_EQ(sources[2].iconPNG, iconPNG(64));
    EXPECT_FALSE(sources[0].iconPNG);
}

TEST_F(MacStudioSessionThreadsTest, RequestsAndListsRacingTheWorkersEndInTheLastStream) {
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    Uuid last;
    for (int round = 0; round < 10; ++round) {
        session->handle(StudioSignal{.id = Uuid::random(), .kind = Kind::listSources});
        last = Uuid::random();
        session->handle(StudioSignal{.id = last, .kind = Kind::request});
        main->runUntilIdle();
    }
    ASSERT_TRUE(runUntil([&] { return session->capture() != nullptr; }));
    EXPECT_EQ(session->streamID(), last);
    // Earlier streams whose content arrived in time were built and then ended.
    for (std::size_t index = 0; index + 1 < captures.size(); ++index) {
        EXPECT_TRUE(captures[index]->stopped);
    }
    EXPECT_FALSE(captures.back()->stopped);
    EXPECT_EQ(transports->createCount(), captures.size());
}

}  // namespace
}  // namespace quillory
