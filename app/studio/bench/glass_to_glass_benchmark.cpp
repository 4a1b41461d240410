// Glass to glass: from the moment the X server has a frame of quillory-test-window to its decode
// at a receiving tablet, for our sending stack and for a plain GStreamer sender at the bitrate
// ours used. Run under a 1920×1080 X server with a window manager:
//
//   scripts/with-test-services --screen 1920x1080 -- studio_glass_to_glass_benchmark
//       [--seconds N] [--only ours|plain] [--plain-bitrate KBPS] [--preset P] [--trace FILE]
//       [--content scrolling|still|both]
//
// The sender runs as this executable in a process of its own (--sender ours|plain), so that its
// CPU time is its own; the receiver, the same for both, runs here.
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/studio/bench/glass_bench_process.h"
#include "app/studio/bench/glass_bench_senders.h"
#include "app/studio/bench/glass_to_glass_measures.h"
#include "app/studio/bench/glass_to_glass_observations.h"
#include "media/interactive_h264_factory.h"
#include "platform/clock/clock.h"
#include "platform/video/pixel_conversion.h"
#include "platform/webrtc/gstreamer/video_receiver.h"
#include "protocol/json_codec.h"
#include "protocol/studio_signal.h"
#include "tests/support/frame_barcode.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory::bench {
namespace {

constexpr int width = 1920;
constexpr int height = 1080;
constexpr int framesPerSecond = 60;
// A steady stream: this many full-size frames decoded in the last second.
constexpr int steadyFrames = 57;
constexpr int steadyTimeoutSeconds = 45;
// Every so many decoded frames of the window one is kept for PSNR.
constexpr int psnrEvery = 15;

struct Options {
    double seconds = 30;
    std::string only;
    int plainBitrateKbps = 0;
    std::string tracePath;  // where our sender writes its performance trace
    StudioPreset preset = StudioPreset::quality;
    std::vector<std::string> contents{"scrolling", "still"};
    bool still = false;  // the content of the run under way
};

struct Row {
    std::string name;
    std::string content;
    double bitrateKbps = 0;
    std::optional<double> glassMedian, glassP95, hostShareMedian;
    double framesPerSecond = 0;
    double framesPerCpuSecond = 0;
    double cpuSeconds = 0;
    std::optional<double> psnr;
    int psnrFrames = 0;
    int undecodable = 0;  // decoded frames whose barcode did not read
    bool steady = false;
    std::pair<int, int> size;
    // Medians of the breakdown of each frame's time, ours only.
    std::optional<double> paintToCapture, captureToPacketizer, packetizerToDecode;
};

std::string selfPath() {
    std::vector<char> path(4096);
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    return n > 0 ? std::string(path.data(), static_cast<std::size_t>(n)) : std::string();
}

std::optional<std::uint64_t> cpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::stringstream text;
    text << stat.rdbuf();
    return processCpuTicks(text.str());
}

// Keeps the pointer off the barcode in the middle of the screen.
void parkPointer() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (!xcb_connection_has_error(c)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_warp_pointer(c, XCB_NONE, screen->root, 0, 0, 0, 0,
                         static_cast<std::int16_t>(screen->width_in_pixels - 1),
                         static_cast<std::int16_t>(screen->height_in_pixels - 1));
        xcb_flush(c);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    xcb_disconnect(c);
}

// JSON lines from a sender, waited for by kind.
class Inbox {
  public:
    void add(const std::string& line) {
        Json json = Json::parse(line, nullptr, false);
        if (json.is_discarded() || !json.is_object()) {
            return;
        }
        if (json.contains("status") || json.contains("failure") || json.contains("policy")) {
            std::fprintf(stderr, "  sender: %s\n", line.c_str());
        }
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(json));
        changed_.notify_all();
    }

    // The first line with `key`, or a failure line, within the timeout.
    std::optional<Json> take(const std::string& key, double seconds) {
        std::unique_lock lock(mutex_);
        std::optional<Json> found;
        changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
            for (auto line = lines_.begin(); line != lines_.end(); ++line) {
                if (line->contains(key)) {
                    found = std::move(*line);
                    lines_.erase(line);
                    return true;
                }
            }
            return false;
        });
        return found;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Json> lines_;
};

// Against the painted frame, scaled to the decoded size as the capture scales.
std::optional<double> meanPSNR(const GlassToGlassObservations::Result& result, bool still,
                               int& count) {
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width) * height * 4);
    double sum = 0;
    count = 0;
    for (const auto& kept : result.kept) {
        testing::paintSyntheticDesktop(bgrx.data(), width, height, width * 4,
                                       still ? 0 : static_cast<int>(kept.counter % 1000));
        testing::paintFrameBarcode(kept.counter, bgrx.data(), width, height, width * 4);
        auto reference = PixelBuffer::allocate(kept.width, kept.height);
        if (convertBgrxToNv12({bgrx.data(), width, height, width * 4}, *reference)) {
            continue;
        }
        sum += lumaPSNR(kept.luma.data(), kept.width, reference->dataY(), reference->strideY(),
                        kept.width, kept.height);
        ++count;
    }
    return count > 0 ? std::optional<double>(sum / count) : std::nullopt;
}

// Streams through one sender and measures it; the sender's process is `command`.
Row measure(const std::string& name, const std::vector<std::string>& command, bool ours,
            GlassToGlassObservations& observations, const Options& options, double& bitrateKbps) {
    Row row{.name = name};
    observations.restart();
    Inbox inbox;
    BenchProcess sender(command, [&](const std::string& line) { inbox.add(line); });
    if (!sender.running()) {
        std::fprintf(stderr, "%s: the sender did not start\n", name.c_str());
        return row;
    }
    std::optional<Uuid> streamID;
    if (ours) {
        StudioSignal request{.id = Uuid::random(), .kind = StudioSignal::Kind::request};
        request.viewport = StudioViewport{width, height, false};
        request.preset = options.preset;
        streamID = request.id;
        sender.send(Json{{"signal", request.toJSON()}}.dump());
    }
    std::optional<std::string> offer;
    if (ours) {
        while (auto line = inbox.take("signal", 15)) {
            const auto signal = StudioSignal::fromJSON((*line)["signal"]);
            if (signal && signal->kind == StudioSignal::Kind::offer) {
                offer = signal->sdp;
                break;
            }
        }
    } else if (const auto line = inbox.take("offer", 15)) {
        offer = (*line)["offer"].get<std::string>();
    }
    if (!offer) {
        std::fprintf(stderr, "%s: no offer\n", name.c_str());
        return row;
    }
    // The plain sender states its own profile; the receiver takes exactly what is offered.
    auto codecs = InteractiveH264Factory::codecList();
    if (!ours) {
        const auto profile = offeredProfileLevelId(*offer);
        if (!profile) {
            std::fprintf(stderr, "%s: the offer states no H.264 profile\n", name.c_str());
            return row;
        }
        codecs = {VideoCodecInfo{"H264",
                                 {{"profile-level-id", *profile},
                                  {"level-asymmetry-allowed", "1"},
                                  {"packetization-mode", "1"}}}};
    }
    const auto receiver = VideoReceiver::create(
        "127.0.0.1", codecs, [&observations](const VideoReceiver::Frame& frame) {
            observations.decoded(testing::readFrameBarcode(frame.luma.data(), frame.width,
                                                           frame.height, frame.width),
                                 frame.width, frame.height, frame.decodedAtNanoseconds, frame.luma);
        });
    if (!receiver) {
        std::fprintf(stderr, "%s: no receiver\n", name.c_str());
        return row;
    }
    std::mutex answerLock;
    std::condition_variable answered;
    std::optional<std::string> answer;
    bool done = false;
    receiver->answer(*offer, [&](std::optional<std::string> sdp, std::string error) {
        std::lock_guard lock(answerLock);
        if (!sdp) {
            std::fprintf(stderr, "%s: no answer: %s\n", name.c_str(), error.c_str());
        }
        answer = std::move(sdp);
        done = true;
        answered.notify_all();
    });
    {
        std::unique_lock lock(answerLock);
        answered.wait_for(lock, std::chrono::seconds(10), [&] { return done; });
    }
    if (!answer) {
        receiver->close();
        return row;
    }
    if (ours) {
        const StudioSignal reply{
            .id = *streamID, .kind = StudioSignal::Kind::answer, .sdp = answer};
        sender.send(Json{{"signal", reply.toJSON()}}.dump());
    } else {
        sender.send(Json{{"answer", *answer}}.dump());
    }

    // While it adapts, our sender's policy says why it is where it is.
    for (int waited = 0; waited < steadyTimeoutSeconds && !row.steady; waited += 3) {
        row.steady = observations.waitUntilSteady(3);
        if (ours && !row.steady) {
            sender.send(Json{{"policy", true}}.dump());
        }
    }
    if (!row.steady) {
        std::fprintf(stderr, "%s: not at %d×%d and %d fps after %d s; measured as it runs\n",
                     name.c_str(), width, height, framesPerSecond, steadyTimeoutSeconds);
    }
    observations.setMeasuring(true);
    const std::int64_t from = static_cast<std::int64_t>(uptimeNanoseconds());
    const auto cpuFrom = cpuTicks(sender.pid());
    // The measuring window: the receiver's and the painter's threads collect meanwhile.
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));
    const std::int64_t to = static_cast<std::int64_t>(uptimeNanoseconds());
    const auto cpuTo = cpuTicks(sender.pid());
    observations.setMeasuring(false);
    const double seconds = static_cast<double>(to - from) / 1e9;

    std::vector<EncodedOutput> outputs;
    if (ours) {
        sender.send(Json{
            {"report",
             {{"from", static_cast<double>(from) / 1e9}, {"to", static_cast<double>(to) / 1e9}}}}
                        .dump());
        if (const auto report = inbox.take("report", 10)) {
            const auto& values = (*report)["report"];
            row.hostShareMedian = percentile(values["hostShare"].get<std::vector<double>>(), 0.5);
            for (const auto& output : values["outputs"]) {
                outputs.push_back({output[0].get<double>(), output[1].get<std::int64_t>()});
            }
            bitrateKbps = values["bytes"].get<double>() * 8 / seconds / 1000;
        }
        if (!options.tracePath.empty()) {
            sender.send(Json{{"trace", options.tracePath}}.dump());
        }
        const StudioSignal stop{.id = *streamID, .kind = StudioSignal::Kind::stop};
        sender.send(Json{{"signal", stop.toJSON()}}.dump());
    }
    row.bitrateKbps = bitrateKbps;
    receiver->close();
    sender.finish();

    const auto result = observations.result(from, to, outputs);
    row.paintToCapture = percentile(result.breakdown.paintToCapture, 0.5);
    row.captureToPacketizer = percentile(result.breakdown.captureToPacketizer, 0.5);
    row.packetizerToDecode = percentile(result.breakdown.packetizerToDecode, 0.5);
    row.glassMedian = percentile(result.glassToGlassMilliseconds, 0.5);
    row.glassP95 = percentile(result.glassToGlassMilliseconds, 0.95);
    row.framesPerSecond = static_cast<double>(result.frames) / seconds;
    if (cpuFrom && cpuTo) {
        row.cpuSeconds =
            static_cast<double>(*cpuTo - *cpuFrom) / static_cast<double>(sysconf(_SC_CLK_TCK));
        row.framesPerCpuSecond =
            row.cpuSeconds > 0 ? static_cast<double>(result.frames) / row.cpuSeconds : 0;
    }
    row.undecodable = result.unidentified;
    row.size = result.size;
    row.psnr = meanPSNR(result, options.still, row.psnrFrames);
    return row;
}

std::string shown(const std::optional<double>& value, const char* format = "%.1f") {
    if (!value) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

void print(const std::vector<Row>& rows) {
    std::printf("\n%-9s %-6s %9s %8s %8s %8s %9s %6s %10s %7s %7s %5s %s\n", "content", "sender",
                "size", "kbit/s", "g2g p50", "g2g p95", "host p50", "fps", "frames/cpu", "cpu s",
                "PSNR Y", "no id", "steady");
    for (const auto& row : rows) {
        const std::string size =
            std::to_string(row.size.first) + "x" + std::to_string(row.size.second);
        std::printf("%-9s %-6s %9s %8.0f %8s %8s %9s %6.1f %10.1f %7.2f %7s %5d %s\n",
                    row.content.c_str(), row.name.c_str(), size.c_str(), row.bitrateKbps,
                    shown(row.glassMedian).c_str(), shown(row.glassP95).c_str(),
                    shown(row.hostShareMedian).c_str(), row.framesPerSecond, row.framesPerCpuSecond,
                    row.cpuSeconds, shown(row.psnr, "%.2f").c_str(), row.undecodable,
                    row.steady ? "yes" : "no");
    }
    std::printf("(times in ms over the window; PSNR: mean over every %dth decoded frame)\n",
                psnrEvery);
    for (const auto& row : rows) {
        if (row.paintToCapture) {
            std::printf(
                "%s %s, medians: paint to capture %s, capture to RTP %s, RTP to decode %s\n",
                row.content.c_str(), row.name.c_str(), shown(row.paintToCapture).c_str(),
                shown(row.captureToPacketizer).c_str(), shown(row.packetizerToDecode).c_str());
        }
    }
}

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--seconds" && value) {
            options.seconds = std::atof(value);
        } else if (arg == "--only" && value) {
            options.only = value;
        } else if (arg == "--content" && value) {
            const std::string content = value;
            if (content != "scrolling" && content != "still" && content != "both") {
                return std::nullopt;
            }
            if (content != "both") {
                options.contents = {content};
            }
        } else if (arg == "--preset" && value) {
            const auto preset = fromRawValue<StudioPreset>(value);
            if (!preset) {
                return std::nullopt;
            }
            options.preset = *preset;
        } else if (arg == "--trace" && value) {
            options.tracePath = value;
        } else if (arg == "--plain-bitrate" && value) {
            options.plainBitrateKbps = std::atoi(value);
        } else {
            return std::nullopt;
        }
        ++i;
    }
    if (options.seconds <= 0 ||
        (!options.only.empty() && options.only != "ours" && options.only != "plain")) {
        return std::nullopt;
    }
    return options;
}

// One content: the test window painting it, ours, then the plain sender at ours' bitrate.
void runContent(Options options, const std::string& content, std::vector<Row>& rows) {
    options.still = content == "still";
    const char* window = std::getenv("QUILLORY_TEST_WINDOW");
    const std::string windowPath = window ? window : QUILLORY_TEST_WINDOW_PATH;
    GlassToGlassObservations observations(
        {.width = width, .height = height, .steadyFrames = steadyFrames, .keepEvery = psnrEvery});
    std::vector<std::string> command{windowPath,
                                     "--title",
                                     "Glass to glass",
                                     "--geometry",
                                     std::to_string(width) + "x" + std::to_string(height) + "+0+0",
                                     "--fullscreen"};
    if (options.still) {
        command.push_back("--still");
    }
    BenchProcess painter(command, [&observations](const std::string& line) {
        if (const auto record = parsePaintLine(line)) {
            observations.painted(*record);
        }
    });
    if (!painter.running()) {
        std::fprintf(stderr, "quillory-test-window did not start (%s)\n", windowPath.c_str());
        return;
    }
    parkPointer();
    const std::string self = selfPath();
    double bitrate = options.plainBitrateKbps;
    if (options.only != "plain") {
        rows.push_back(
            measure("ours", {self, "--sender", "ours"}, true, observations, options, bitrate));
        rows.back().content = content;
    }
    if (options.only != "ours") {
        if (bitrate <= 0) {
            std::fprintf(stderr, "plain: no bitrate; give --plain-bitrate\n");
        } else {
            const int kbps = static_cast<int>(bitrate + 0.5);
            rows.push_back(measure("plain",
                                   {self, "--sender", "plain", "--bitrate", std::to_string(kbps)},
                                   false, observations, options, bitrate));
            rows.back().content = content;
        }
    }
    painter.finish();
}

int run(const Options& options) {
    std::vector<Row> rows;
    for (const auto& content : options.contents) {
        runContent(options, content, rows);
    }
    print(rows);
    return rows.empty() ? 1 : 0;
}

}  // namespace
}  // namespace quillory::bench

int main(int argc, char** argv) {
    using namespace quillory::bench;
    if (argc >= 3 && std::string(argv[1]) == "--sender") {
        const std::string kind = argv[2];
        if (kind == "ours") {
            return runOurSender();
        }
        if (kind == "plain" && argc == 5 && std::string(argv[3]) == "--bitrate") {
            return runPlainSender(std::atoi(argv[4]));
        }
        return 2;
    }
    const auto options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: studio_glass_to_glass_benchmark [--seconds N] [--only ours|plain] "
                     "[--plain-bitrate KBPS] [--preset P] [--trace FILE] "
                     "[--content scrolling|still|both]\n");
        return 2;
    }
    return run(*options);
}
