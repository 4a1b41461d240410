// Capture against a real X server (Xvfb 1920×1080 with openbox) and quillory-test-window.
#include <gtest/gtest.h>
#include <sys/uio.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "app/studio/application_image.h"
#include "app/studio/display_capture.h"
#include "app/studio/source_preview.h"
#include "app/studio/tests/test_window_process.h"
#include "platform/capture/capture_picture.h"
#include "platform/capture/x11_capture_stream.h"
#include "platform/desktop/window_icons.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "protocol/image_rules.h"
#include "tests/support/frame_barcode.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory {
namespace {

using testing::TestWindowProcess;

int luma(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    return 16 + ((66 * r + 129 * g + 25 * b + 128) >> 8);
}

// Frames as they come out of a stream, with a way to wait for some that satisfy a test. Only the
// latest picture is kept: holding more would drain the stream's pool of three.
struct FrameLog {
    struct Entry {
        CaptureFrameStatus status;
        std::optional<std::uint32_t> counter;  // read by `reader` from complete frames
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> entries;
    std::shared_ptr<PixelBuffer> latest;
    std::function<std::optional<std::uint32_t>(const PixelBuffer&)> reader;

    void add(const CaptureFrame& frame) {
        std::lock_guard lock(mutex);
        Entry entry{frame.status, std::nullopt};
        if (frame.status == CaptureFrameStatus::complete) {
            if (reader) {
                entry.counter = reader(*frame.image);
            }
            latest = frame.image;
        }
        entries.push_back(entry);
        changed.notify_all();
    }
    // Waits until `count` entries after index `from` satisfy `test`; those entries.
    std::vector<Entry> waitFor(std::size_t from, std::size_t count,
                               const std::function<bool(const Entry&)>& test) {
        std::unique_lock lock(mutex);
        std::vector<Entry> matched;
        changed.wait_for(lock, std::chrono::seconds(10), [&] {
            matched.clear();
            for (std::size_t i = from; i < entries.size(); ++i) {
                if (test(entries[i])) {
                    matched.push_back(entries[i]);
                }
            }
            return matched.size() >= count;
        });
        return matched;
    }
    std::size_t size() {
        std::lock_guard lock(mutex);
        return entries.size();
    }
    std::shared_ptr<PixelBuffer> picture() {
        std::lock_guard lock(mutex);
        return latest;
    }
};

bool isComplete(const FrameLog::Entry& entry) {
    return entry.status == CaptureFrameStatus::complete;
}

class CaptureX11Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!std::getenv("DISPLAY") || !std::getenv("QUILLORY_TEST_WINDOW")) {
            GTEST_SKIP() << "needs an X server and quillory-test-window";
        }
    }
    void SetUp() override {
        auto connected = X11Desktop::connect(nullptr);
        ASSERT_TRUE(connected) << connected.error();
        desktop = std::move(connected).value();
        connection = xcb_connect(nullptr, nullptr);
        ASSERT_FALSE(xcb_connection_has_error(connection));
        root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        MainQueue::install(executor);
    }
    void TearDown() override {
        if (connection) {
            xcb_disconnect(connection);
        }
        MainQueue::install(nullptr);
    }

    // Starts a stream straight on a queue of our own.
    std::unique_ptr<CaptureStream> startStream(const CaptureTarget& target, int width, int height,
                                               bool showsCursor = true) {
        auto stream = X11CaptureStream::factory()(queue, target, {width, height, 60, showsCursor});
        std::optional<CaptureError> error;
        EXPECT_TRUE(queue.sync([&] {
            error = stream->start({.onFrame = [this](const CaptureFrame& f) { log.add(f); },
                                   .onDisplaysChanged = [] {},
                                   .onStopped = [] {}});
        }));
        EXPECT_FALSE(error) << error->message;
        return stream;
    }
    void stopStream(std::unique_ptr<CaptureStream>& stream) {
        EXPECT_TRUE(queue.sync([&] { stream.reset(); }));
    }

    // The root's pixels in an area, as the server has them (without the cursor).
    std::vector<std::uint8_t> rootPixels(int x, int y, int width, int height) {
        auto* reply = xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<std::int16_t>(x),
                          static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), ~0u),
            nullptr);
        std::vector<std::uint8_t> pixels;
        if (reply) {
            const auto* data = xcb_get_image_data(reply);
            pixels.assign(data, data + xcb_get_image_data_length(reply));
            std::free(reply);
        }
        return pixels;
    }

    std::optional<ShareableWindow> shareable(std::uint32_t id) {
        for (const auto& window :
             desktop->shareableWindows().value_or(std::vector<ShareableWindow>{})) {
            if (window.info.id == id) {
                return window;
            }
        }
        return std::nullopt;
    }
    // Moves the window's frame and waits for the window manager to have done it; the client's
    // new position on the root.
    // The client sits inside the frame, below the title bar: at `offset` when it is known.
    std::pair<int, int> moveTo(TestWindowProcess& window, int x, int y,
                               std::optional<std::pair<int, int>> offset = std::nullopt) {
        auto lines = window.command("move " + std::to_string(x) + " " + std::to_string(y));
        const auto arrived = [&](std::pair<int, int> origin) {
            const auto [cx, cy] = origin;
            if (offset) {
                return cx == x + offset->first && cy == y + offset->second;
            }
            return cx >= x && cx <= x + 10 && cy >= y && cy <= y + 40;
        };
        for (const auto& line : lines) {
            if (arrived(clientOrigin({line}))) {
                return clientOrigin({line});
            }
        }
        while (const auto line = window.waitFor("\"synthetic\":true", 2)) {
            if (arrived(clientOrigin({*line}))) {
                return clientOrigin({*line});
            }
        }
        // A busy window manager may answer a move to where the frame already stands with no
        // notification at all: the server still knows where the client is.
        const auto placed = serverOrigin(window.window());
        return arrived(placed) ? placed : std::pair{-1, -1};
    }
    std::pair<int, int> serverOrigin(xcb_window_t window) {
        auto* reply = xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr);
        if (!reply) {
            return {-1, -1};
        }
        const std::pair<int, int> origin{reply->dst_x, reply->dst_y};
        std::free(reply);
        return origin;
    }
    // The client window's position on the root, from the window manager's notification.
    static std::pair<int, int> clientOrigin(const std::vector<std::string>& lines) {
        std::pair<int, int> origin{-1, -1};
        for (const auto& line : lines) {
            if (line.find("\"configure\"") != std::string::npos &&
                line.find("\"synthetic\":true") != std::string::npos) {
                origin = {static_cast<int>(*TestWindowProcess::number(line, "x")),
                          static_cast<int>(*TestWindowProcess::number(line, "y"))};
            }
        }
        return origin;
    }

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<X11Desktop> desktop;
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    SerialQueue queue{"com.quillory.capture"};
    FrameLog log;
};

TEST_F(CaptureX11Test, DisplayFramesFollowTheWindowAndMatchTheScreen) {
    TestWindowProcess window({"--title", "Counter", "--geometry", "640x480+200+150"});
    ASSERT_TRUE(window.window());
    const auto main = desktop->mainDisplay();
    ASSERT_TRUE(main);
    ASSERT_EQ(main->bounds, (Rect{0, 0, 1920, 1080}));
    const auto [cx, cy] = moveTo(window, 200, 150);
    ASSERT_GE(cx, 0);
    auto stream = startStream({CaptureTarget::Kind::display, main->id, main->bounds}, 1920, 1080);
    log.reader = [cx, cy](const PixelBuffer& image) {
        return testing::readFrameBarcode(image.dataY() + cy * image.strideY() + cx, 640, 480,
                                         image.strideY());
    };
    // Counters advance as the window paints.
    const auto counted =
        log.waitFor(0, 5, [](const FrameLog::Entry& e) { return e.counter.has_value(); });
    ASSERT_GE(counted.size(), 5u);
    EXPECT_GT(*counted.back().counter, *counted.front().counter);

    // Paused: at most the last painting is still picked up, then every tick is idle, and the
    // last picture shows exactly what the server has.
    window.command("pause");
    const std::size_t after = log.size();
    const auto quiet = log.waitFor(after, 12, [](const FrameLog::Entry&) { return true; });
    ASSERT_EQ(quiet.size(), 12u);
    for (std::size_t i = 2; i < quiet.size(); ++i) {
        EXPECT_EQ(quiet[i].status, CaptureFrameStatus::idle) << i;
    }
    const auto screen = rootPixels(0, 0, 1920, 1080);
    ASSERT_EQ(screen.size(), 1920u * 1080 * 4);
    const auto& image = *log.picture();
    for (const auto& [x, y] : {std::pair{cx + 10, cy + 10},
                               {cx + 320, cy + 240},
                               {cx + 600, cy + 400},
                               {5, 5},
                               {1900, 1060},
                               {cx + 100, cy + 300}}) {
        const auto* p = &screen[static_cast<std::size_t>((y * 1920 + x) * 4)];
        EXPECT_NEAR(image.dataY()[y * image.strideY() + x], luma(p[0], p[1], p[2]), 2)
            << x << "," << y;
    }
    stopStream(stream);
}

// A consumer that holds every picture (an encoder starting while frames queue for it) drains the
// pool while the screen keeps changing. Once it lets go, pictures must come again although the
// server reports nothing new: the damage it reported was never taken.
TEST_F(CaptureX11Test, PicturesComeAgainOnceTheBuffersHeldDownstreamAreReleased) {
    TestWindowProcess window({"--title", "Held", "--geometry", "640x480+200+150"});
    ASSERT_TRUE(window.window());
    const auto main = desktop->mainDisplay();
    ASSERT_TRUE(main);
    const auto [cx, cy] = moveTo(window, 200, 150);
    ASSERT_GE(cx, 0);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::shared_ptr<PixelBuffer>> held;
    bool holding = true;
    std::size_t afterRelease = 0;
    auto stream = X11CaptureStream::factory()(
        queue, {CaptureTarget::Kind::display, main->id, main->bounds}, {1920, 1080, 60, true});
    std::optional<CaptureError> error;
    ASSERT_TRUE(queue.sync([&] {
        error = stream->start({.onFrame =
                                   [&](const CaptureFrame& frame) {
                                       if (frame.status != CaptureFrameStatus::complete) {
                                           return;
                                       }
                                       std::lock_guard lock(mutex);
                                       if (holding) {
                                           held.push_back(frame.image);
                                       } else {
                                           ++afterRelease;
                                       }
                                       changed.notify_all();
                                   },
                               .onDisplaysChanged = [] {},
                               .onStopped = [] {}});
    }));
    ASSERT_FALSE(error) << error->message;
    std::optional<std::uint32_t> newestHeld;
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::seconds(10), [&] { return held.size() >= 4; }))
            << held.size() << " pictures";
        const PixelBuffer& newest = *held.back();
        newestHeld = testing::readFrameBarcode(newest.dataY() + cy * newest.strideY() + cx, 640,
                                               480, newest.strideY());
    }
    ASSERT_TRUE(newestHeld);
    // The window paints on: a tenth of a second of damage that no buffer is left to grab.
    std::optional<std::uint32_t> onScreen;
    for (int reads = 0; reads < 1000 && (!onScreen || *onScreen < *newestHeld + 6); ++reads) {
        const auto pixels = rootPixels(cx, cy, 640, 480);
        ASSERT_EQ(pixels.size(), 640u * 480 * 4);
        std::vector<std::uint8_t> luma(640u * 480);
        for (std::size_t i = 0; i < luma.size(); ++i) {
            luma[i] = static_cast<std::uint8_t>(
                quillory::luma(pixels[4 * i], pixels[4 * i + 1], pixels[4 * i + 2]));
        }
        onScreen = testing::readFrameBarcode(luma.data(), 640, 480, 640);
    }
    ASSERT_TRUE(onScreen && *onScreen >= *newestHeld + 6);
    ASSERT_TRUE(queue.sync([&] {
        std::lock_guard lock(mutex);
        holding = false;
        held.clear();
    }));
    std::unique_lock lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return afterRelease >= 5; }))
        << afterRelease << " pictures after the release";
    lock.unlock();
    stopStream(stream);
}

TEST_F(CaptureX11Test, TheCursorIsDrawnIn) {
    TestWindowProcess window({"--paused", "--geometry", "400x300+100+100"});
    ASSERT_TRUE(window.window());
    const auto main = desktop->mainDisplay();
    xcb_warp_pointer(connection, XCB_NONE, root, 0, 0, 0, 0, 900, 600);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    auto stream = startStream({CaptureTarget::Kind::display, main->id, main->bounds}, 1920, 1080);
    const auto frames = log.waitFor(0, 1, isComplete);
    ASSERT_FALSE(frames.empty());
    const auto screen = rootPixels(900, 600, 16, 16);
    ASSERT_EQ(screen.size(), 16u * 16 * 4);
    const auto& image = *log.picture();
    int differing = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const auto* p = &screen[static_cast<std::size_t>((y * 16 + x) * 4)];
            const int captured = image.dataY()[(600 + y) * image.strideY() + 900 + x];
            differing += std::abs(captured - luma(p[0], p[1], p[2])) > 8;
        }
    }
    EXPECT_GT(differing, 10);
    stopStream(stream);
}

TEST_F(CaptureX11Test, ACoveredWindowIsCapturedWithItsOwnContent) {
    TestWindowProcess covered({"--title", "Covered", "--geometry", "640x480+300+200"});
    ASSERT_TRUE(covered.window());
    ASSERT_GE(moveTo(covered, 300, 200).first, 0);
    const auto paused = covered.command("pause");
    ASSERT_FALSE(paused.empty());
    const long long counter = TestWindowProcess::number(paused.back(), "counter").value_or(-1);
    ASSERT_GE(counter, 0);
    TestWindowProcess cover({"--title", "Cover", "--paused", "--geometry", "800x600+250+150"});
    ASSERT_TRUE(cover.window());
    moveTo(cover, 250, 150);
    // The window manager may report the client where it stood before its frame was decorated.
    // It handles the windows in turn: once it has placed the cover, the server knows where the
    // covered client has come to rest.
    const auto [cx, cy] = serverOrigin(covered.window());
    ASSERT_GE(cx, 0);
    const auto shared = shareable(covered.window());
    ASSERT_TRUE(shared);
    const Rect frame = shared->info.frame;
    const int width = static_cast<int>(frame.width) & ~1;
    const int height = static_cast<int>(frame.height) & ~1;
    const int ox = cx - static_cast<int>(frame.x);
    const int oy = cy - static_cast<int>(frame.y);
    log.reader = [ox, oy](const PixelBuffer& image) {
        return testing::readFrameBarcode(image.dataY() + oy * image.strideY() + ox, 640, 480,
                                         image.strideY());
    };
    // Without the pointer, which another test may have left over the window.
    auto stream =
        startStream({CaptureTarget::Kind::window, covered.window(), frame}, width, height, false);
    // Redirecting a covered window exposes it: until it has painted again, its pixmap holds only
    // its background.
    const auto frames = log.waitFor(0, 1, [&](const FrameLog::Entry& e) {
        return e.counter == static_cast<std::uint32_t>(counter);
    });
    ASSERT_FALSE(frames.empty());
    const auto& image = *log.picture();
    // The same frame, regenerated, matches pixel for pixel at the client's offset: a frame of an
    // odd size loses its last row or column, never the sharpness of the rest.
    std::vector<std::uint8_t> expected(640 * 480 * 4);
    testing::paintSyntheticDesktop(expected.data(), 640, 480, 640 * 4,
                                   static_cast<int>(counter % 1000));
    testing::paintFrameBarcode(static_cast<std::uint32_t>(counter), expected.data(), 640, 480,
                               640 * 4);
    int differing = 0;
    std::pair<int, int> first{-1, -1};
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const auto* p = &expected[static_cast<std::size_t>((y * 640 + x) * 4)];
            const int captured = image.dataY()[(oy + y) * image.strideY() + ox + x];
            if (std::abs(captured - luma(p[0], p[1], p[2])) > 2 && differing++ == 0) {
                first = {x, y};
            }
        }
    }
    EXPECT_EQ(differing, 0) << "first at " << first.first << "," << first.second;
    stopStream(stream);
}

class DisplayCaptureX11Test : public CaptureX11Test {
  protected:
    std::shared_ptr<DisplayCapture> make(const StudioCaptureSource& source) {
        DisplayCapture::Environment environment{.desktop = desktop,
                                                .makeStream = X11CaptureStream::factory()};
        auto capture = DisplayCapture::create(
            source, 1920, std::nullopt, [](const std::shared_ptr<PixelBuffer>&, std::int64_t) {},
            [this](const std::string& text) { failures.push_back(text); }, environment);
        bool done = false;
        std::optional<std::string> error;
        capture->start([&](std::optional<std::string> e) {
            error = std::move(e);
            done = true;
        });
        while (!done && executor->waitForWork(10)) {
            executor->runUntilIdle();
        }
        EXPECT_TRUE(done);
        EXPECT_FALSE(error) << *error;
        return capture;
    }
    // Lets notifications from the capture queue reach the main queue.
    void settle() {
        while (executor->waitForWork(0.5)) {
            executor->runUntilIdle();
        }
    }
    std::vector<std::string> failures;
};

TEST_F(DisplayCaptureX11Test, MovingOrClosingTheSharedWindowIsReportedOnTheNextTick) {
    TestWindowProcess window({"--title", "Shared", "--paused", "--geometry", "500x400+300+300"});
    ASSERT_TRUE(window.window());
    const auto [cx, cy] = moveTo(window, 300, 300);
    ASSERT_GE(cx, 0);
    const auto shared = shareable(window.window());
    ASSERT_TRUE(shared);
    EXPECT_EQ(StudioCaptureSource::window(*shared).title(*desktop), "Shared");
    auto capture = make(StudioCaptureSource::window(*shared));
    // Each check asks the server on the capture queue and answers on the main queue.
    const auto tick = [&] {
        executor->advance(0.2);
        settle();
    };
    tick();
    EXPECT_TRUE(failures.empty());
    ASSERT_GE(moveTo(window, 301, 300, std::pair{cx - 300, cy - 300}).first, 0);
    tick();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], "The shared source changed or is unavailable. Reconnecting the view…");
    window.close();
    tick();
    EXPECT_EQ(failures.size(), 2u);
    capture->stop();
}

TEST_F(DisplayCaptureX11Test, AMonitorChangeIsReportedOnlyWhenItMovesTheSharedDisplay) {
    // RandR SetMonitor sent by hand: libxcb 1.15's xcb_randr_set_monitor sends a request of the
    // wrong length, after which the server closes the connection.
    const auto setMonitor = [&](xcb_atom_t name, std::int16_t x, std::int16_t y, std::uint16_t w,
                                std::uint16_t h) {
        struct [[gnu::packed]] {
            std::uint8_t major, minor;
            std::uint16_t length;
            std::uint32_t window;
            xcb_randr_monitor_info_t info;
        } request{};
        static_assert(sizeof request == 32);
        request.window = root;
        request.info = {.name = name,
                        .x = x,
                        .y = y,
                        .width = w,
                        .height = h,
                        .width_in_millimeters = w / 4u,
                        .height_in_millimeters = h / 4u};
        iovec parts[3];
        parts[2] = {&request, sizeof request};
        xcb_protocol_request_t protocol{1, &xcb_randr_id, XCB_RANDR_SET_MONITOR, 1};
        const xcb_void_cookie_t cookie{
            xcb_send_request(connection, XCB_REQUEST_CHECKED, parts + 2, &protocol)};
        auto* error = xcb_request_check(connection, cookie);
        EXPECT_EQ(error, nullptr);
        std::free(error);
    };
    const auto atom = [&](const char* name) {
        auto* reply = xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t value = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    };
    // A monitor of our own, so that its geometry can be changed.
    const xcb_atom_t shared = atom("QUILLORY-SHARED");
    const xcb_atom_t extra = atom("QUILLORY-EXTRA");
    setMonitor(shared, 0, 0, 1920, 1080);
    const auto display = desktop->display(shared);
    ASSERT_TRUE(display);
    auto capture = make(StudioCaptureSource::display(*display));
    setMonitor(extra, 1280, 600, 640, 480);
    settle();
    EXPECT_TRUE(failures.empty());
    // A monitor is redefined by deleting it first; a change seen half-way is a change too.
    xcb_randr_delete_monitor(connection, root, shared);
    setMonitor(shared, 0, 0, 960, 1080);
    settle();
    ASSERT_FALSE(failures.empty());
    for (const auto& failure : failures) {
        EXPECT_EQ(failure, "The display changed. Start Studio again to update the canvas.");
    }
    capture->stop();
    xcb_randr_delete_monitor(connection, root, extra);
    xcb_randr_delete_monitor(connection, root, shared);
    // Done before the test ends: the server may serve the next test's client before requests that
    // are only flushed, and it would see the extra monitor.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

TEST_F(CaptureX11Test, AWindowsOwnIconIsReadAndTheOneNearest64Chosen) {
    TestWindowProcess window({"--title", "Icons", "--paused", "--pid", "4242"});
    ASSERT_TRUE(window.window());
    const auto connected = X11WindowIcons::connect(nullptr);
    ASSERT_TRUE(connected) << connected.error();
    const auto& reader = connected.value();
    const auto image = applicationImage(reader->icons(window.window()), "", nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 64);
    EXPECT_EQ(image->argb.front(), 0xFF0000FFu);
    // The window tells its application; a process id given on this host is kept.
    ASSERT_GE(moveTo(window, 200, 200).first, 0);  // managed and shown by now
    const auto shared = shareable(window.window());
    ASSERT_TRUE(shared && shared->application);
    EXPECT_EQ(shared->application->name, "QuilloryTestWindow");
    EXPECT_EQ(shared->application->processID, 4242);
    EXPECT_EQ(shared->title, "Icons");
    EXPECT_TRUE(shared->onScreen);
    EXPECT_EQ(shared->info.layer, 0);
}

TEST_F(DisplayCaptureX11Test, APreviewOfTheDisplayIsAValidThumbnail) {
    TestWindowProcess window({"--paused", "--geometry", "640x480+100+100"});
    const auto main = desktop->mainDisplay();
    CaptureError error;
    const auto picture =
        capturePicture(StudioCaptureSource::display(*main).captureTarget(), nullptr, error);
    ASSERT_TRUE(picture) << error.message;
    const auto jpeg =
        capturePreviewJPEG(StudioCaptureSource::display(*main), PreviewCapture::system());
    ASSERT_TRUE(jpeg);
    EXPECT_TRUE(isValidThumbnailJPEG(*jpeg));
    EXPECT_LE(jpeg->size(), 20000u);
}

}  // namespace
}  // namespace quillory
