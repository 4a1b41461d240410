// The pen path end to end against a running `quillory`: a tablet's channel in this process writes
// sealed "input" lines of one sample each, and an X client of this process stamps the matching
// MotionNotify on a window covering the screen. Run inside scripts/with-test-services (its HOME
// and keyring are temporary): the bench makes the host and the command-line tablet trust each
// other, starts the application, measures and stops it.
//
//   app_pen_path_bench [--quillory PATH] [benchmark flags]
//   app_pen_path_bench --trust-pad-tool   only the trust, for `quillory-pad pair --host ...`
//   app_pen_path_bench --released         exits 1 when a button or key is down or the pointer
//                                         still moves, printing what it saw
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/link/pen_channel.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/net/tcp_connect.h"
#include "tests/figures/running_quillory.h"

namespace quillory {
namespace {

using Clock = std::chrono::steady_clock;

std::string quilloryPath = QUILLORY_APP_PATH;

// A window over the whole screen whose pointer motion a thread of its own stamps on arrival.
class MotionStamper {
  public:
    struct Motion {
        int x = -1;
        int y = -1;
        Clock::rep at = 0;
    };

    bool open(std::string& error) {
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_)) {
            error = "no X server: set DISPLAY";
            return false;
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        width = screen->width_in_pixels;
        height = screen->height_in_pixels;
        window_ = xcb_generate_id(connection_);
        const std::uint32_t values[] = {1, XCB_EVENT_MASK_POINTER_MOTION |
                                               XCB_EVENT_MASK_BUTTON_PRESS |
                                               XCB_EVENT_MASK_BUTTON_RELEASE};
        const auto created = xcb_create_window_checked(
            connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, width, height, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
            XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        if (xcb_generic_error_t* failed = xcb_request_check(connection_, created)) {
            error = "the window was refused: X error " + std::to_string(failed->error_code);
            free(failed);
            return false;
        }
        xcb_map_window(connection_, window_);
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_aux_sync();
        reader_ = std::thread([this] { read(); });
        return true;
    }

    ~MotionStamper() {
        if (reader_.joinable()) {
            // A message to our own window wakes the reader, which then ends.
            xcb_client_message_event_t wake{};
            wake.response_type = XCB_CLIENT_MESSAGE;
            wake.format = 32;
            wake.window = window_;
            xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char*>(&wake));
            xcb_flush(connection_);
            reader_.join();
        }
        if (connection_) {
            xcb_disconnect(connection_);
        }
    }

    // When the latest motion at (x, y), give or take a pixel, arrived; none in time.
    std::optional<Clock::time_point> waitFor(int x, int y, std::chrono::milliseconds patience) {
        const auto deadline = Clock::now() + patience;
        while (Clock::now() < deadline) {
            const std::uint64_t packed = latest_.load(std::memory_order_acquire);
            const int seenX = static_cast<int>(packed >> 48);
            const int seenY = static_cast<int>((packed >> 32) & 0xffff);
            if (std::abs(seenX - x) <= 1 && std::abs(seenY - y) <= 1) {
                return stamp_.load(std::memory_order_acquire);
            }
        }
        return std::nullopt;
    }

    // The latest motion's place, for reports.
    std::string latest() const {
        const std::uint64_t packed = latest_.load(std::memory_order_acquire);
        std::string text =
            packed == ~std::uint64_t(0)
                ? std::string("none")
                : std::to_string(packed >> 48) + "," + std::to_string((packed >> 32) & 0xffff);
        if (auto* pointer = xcb_query_pointer_reply(
                connection_, xcb_query_pointer(connection_, window_), nullptr)) {
            text += "; pointer at " + std::to_string(pointer->root_x) + "," +
                    std::to_string(pointer->root_y) + " over window " +
                    std::to_string(pointer->child) + ", ours " + std::to_string(window_);
            free(pointer);
        }
        return text;
    }

    std::uint16_t width = 0;
    std::uint16_t height = 0;

  private:
    // A round trip, so that the window is up before the first sample.
    void xcb_aux_sync() {
        free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    void read() {
        while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
            const auto type = event->response_type & 0x7f;
            if (type == XCB_MOTION_NOTIFY) {
                const auto now = Clock::now();
                const auto* motion = reinterpret_cast<xcb_motion_notify_event_t*>(event);
                stamp_.store(now, std::memory_order_relaxed);
                latest_.store((std::uint64_t(std::uint16_t(motion->root_x)) << 48) |
                                  (std::uint64_t(std::uint16_t(motion->root_y)) << 32),
                              std::memory_order_release);
            }
            free(event);
            if (type == XCB_CLIENT_MESSAGE) {
                return;
            }
        }
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t window_ = 0;
    std::thread reader_;
    std::atomic<Clock::time_point> stamp_{};
    std::atomic<std::uint64_t> latest_{~std::uint64_t(0)};
};

// Where the host puts a normalised point on the screen.
int pixel(double normalised, std::uint16_t size) {
    return static_cast<int>(std::lround(normalised * (size - 1)));
}

PenSample sampleAt(std::uint64_t sequence, PenSample::Phase phase) {
    PenSample sample;
    sample.sequence = sequence;
    sample.phase = phase;
    // Steps of several pixels, so that each sample's motion is told apart from the last one's.
    sample.x = 0.1 + 0.8 * static_cast<double>((sequence * 37) % 101) / 101;
    sample.y = 0.1 + 0.8 * static_cast<double>((sequence * 11) % 53) / 53;
    sample.pressure = 0.4;
    sample.altitude = 1.1;
    sample.azimuth = 0.7;
    sample.timestamp = static_cast<double>(sequence) / 240;
    return sample;
}

// Runs the manual main queue until the condition holds; false after `seconds`.
template <typename Condition>
bool runUntil(ManualExecutor& main, Condition condition, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        main.waitForWork(0.05);
        main.runUntilIdle();
    }
    return true;
}

void SealedLineToMotionNotify(benchmark::State& state) {
    auto main = std::make_shared<ManualExecutor>();
    MainQueue::install(main);
    MotionStamper stamper;
    std::string error;
    if (!stamper.open(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const auto trust = bench::trustPadTool();
    if (!trust.pad) {
        state.SkipWithError(trust.error.c_str());
        return;
    }
    const std::string log =
        std::string(std::getenv("HOME") ? std::getenv("HOME") : "/tmp") + "/quillory-bench.log";
    auto app = bench::RunningQuillory::start(quilloryPath, log, error);
    const auto port = app ? app->waitForListener(60) : std::nullopt;
    if (!port) {
        state.SkipWithError(("quillory did not listen; see " + log + " " + error).c_str());
        return;
    }
    const auto connected = connectTcp("127.0.0.1", *port, 10);
    if (connected.fd < 0) {
        state.SkipWithError(connected.error.c_str());
        return;
    }
    auto channel =
        PenChannel::create(StreamConnection(connected.fd), PenChannel::Role::pad, "Quillory Pad",
                           trust.pad, Uuid::random(), trust.hostFingerprint, false);
    // The host sends its desktop context once it takes input, as a tablet waits for it.
    bool ready = false;
    bool context = false;
    channel->onReady = [&ready] { ready = true; };
    channel->onDesktopContext = [&context](DesktopContext) { context = true; };
    channel->start();
    if (!runUntil(
            *main, [&] { return (ready && context) || channel->closedCause(); }, 30) ||
        !context) {
        state.SkipWithError(("the link did not get ready; see " + log).c_str());
        return;
    }

    std::uint64_t sequence = 1;
    auto sendOne = [&](PenSample::Phase phase) {
        const PenSample sample = sampleAt(sequence++, phase);
        const auto start = Clock::now();
        channel->send(std::vector<PenSample>{sample});
        const auto arrived =
            stamper.waitFor(pixel(sample.x, stamper.width), pixel(sample.y, stamper.height),
                            std::chrono::milliseconds(1000));
        return arrived ? std::optional<double>(
                             std::chrono::duration<double, std::micro>(*arrived - start).count())
                       : std::nullopt;
    };
    if (!sendOne(PenSample::Phase::began)) {
        const std::string message =
            "the pen's first point never reached the screen; last motion: " + stamper.latest() +
            "; see " + log;
        state.SkipWithError(message.c_str());
        return;
    }
    std::vector<double> latencies;
    std::size_t lost = 0;
    for (auto _ : state) {
        if (const auto latency = sendOne(PenSample::Phase::moved)) {
            state.SetIterationTime(*latency / 1e6);
            latencies.push_back(*latency);
        } else {
            state.SetIterationTime(1);
            ++lost;
        }
        if (sequence % 256 == 0) {
            main->runUntilIdle();  // the link's reports to the main queue
        }
    }
    sendOne(PenSample::Phase::ended);
    channel->stop();
    runUntil(
        *main, [&] { return channel->closedCause().has_value(); }, 5);
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_us"] = latencies[latencies.size() / 2];
        state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
        state.counters["max_us"] = latencies.back();
    }
    state.counters["lost"] = static_cast<double>(lost);
}
BENCHMARK(SealedLineToMotionNotify)->UseManualTime()->Iterations(10000);

}  // namespace
}  // namespace quillory

// Nothing held on the X server once input has ended: no button in the pointer's mask, no key in
// the keymap, and the pointer at rest for a second.
int reportReleased() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X server: set DISPLAY\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    auto pointer = [&] {
        return xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr);
    };
    auto* before = pointer();
    auto* keymap = xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr);
    std::string keys;
    for (int code = 8; keymap && code < 256; ++code) {
        if (keymap->keys[code / 8] & (1 << (code % 8))) {
            keys += (keys.empty() ? "" : ",") + std::to_string(code);
        }
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    auto* after = pointer();
    const bool still =
        before && after && before->root_x == after->root_x && before->root_y == after->root_y;
    const unsigned buttons = after ? after->mask & 0x1f00 : 0;
    std::printf("{\"buttons\":%u,\"keys\":[%s],\"pointerAtRest\":%s}\n", buttons, keys.c_str(),
                still ? "true" : "false");
    const bool released = keymap && after && buttons == 0 && keys.empty() && still;
    free(before);
    free(after);
    free(keymap);
    xcb_disconnect(connection);
    return released ? 0 : 1;
}

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int index = 0; index < argc; ++index) {
        const std::string argument = argv[index];
        if (argument == "--trust-pad-tool") {
            const auto trust = quillory::bench::trustPadTool();
            if (!trust.pad) {
                std::fprintf(stderr, "%s\n", trust.error.c_str());
                return 1;
            }
            return 0;
        }
        if (argument == "--released") {
            return reportReleased();
        }
        if (argument == "--quillory" && index + 1 < argc) {
            quillory::quilloryPath = argv[++index];
            continue;
        }
        rest.push_back(argv[index]);
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(count, rest.data())) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
