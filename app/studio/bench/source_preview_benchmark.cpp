// The cost of one display thumbnail against a real X server, taken the way the program takes it
// (the server scales the picture) or by a grab at the display's size scaled in the program:
//   scripts/with-test-services --screen 3840x2160 --
//   build/default/app/studio/bench/source_preview_benchmark server|program [--write DIR]
// The screen shows desktop-like content. Prints the median and 95th percentile time of a
// thumbnail, the bytes read back from the server for one, and how much the peak resident memory of
// this process grew. The peak never comes down, so each way runs in a process of its own; the
// content is painted by a child, whose memory is not counted. --write leaves the thumbnail, as
// the tablet decodes it, in DIR as thumbnail-<way>-<width>x<height>.png.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/studio/source_preview.h"
#include "platform/capture/capture_picture.h"
#include "platform/desktop/x11_desktop.h"
#include "tests/support/content_window.h"
#include "tests/support/jpeg_shot.h"

namespace quillory {
namespace {

constexpr int repetitions = 50;

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A child process that covers the screen with content and keeps it there until `release` closes.
struct ContentPainter {
    pid_t pid = -1;
    int release = -1;

    ContentPainter(int width, int height) {
        int ready[2];
        int hold[2];
        if (pipe(ready) != 0 || pipe(hold) != 0) {
            return;
        }
        pid = fork();
        if (pid == 0) {
            close(ready[0]);
            close(hold[1]);
            testing::ContentWindow content(width, height);
            char byte = 1;
            if (write(ready[1], &byte, 1) == 1) {
                // Until the parent closes its end.
                [[maybe_unused]] const auto closed = read(hold[0], &byte, 1);
            }
            _exit(0);
        }
        close(ready[1]);
        close(hold[0]);
        release = hold[1];
        char byte = 0;
        if (read(ready[0], &byte, 1) != 1) {
            pid = -1;
        }
        close(ready[0]);
    }
    ~ContentPainter() {
        close(release);
        if (pid > 0) {
            waitpid(pid, nullptr, 0);
        }
    }
};

// The thumbnail as the program took it before the server scaled it: the whole display grabbed,
// then scaled here with a box filter.
PreviewCapture scaledInTheProgram(std::size_t& bytesRead) {
    return {[&bytesRead](const CaptureTarget& target, PreviewSize size) {
                CaptureError error;
                const auto whole = capturePicture(target, nullptr, error);
                if (!whole) {
                    return std::optional<BgrxPicture>();
                }
                bytesRead = whole->pixels.size();
                return scaledBgrx(*whole, size.width, size.height);
            },
            PreviewCapture::system().encode};
}

PreviewCapture scaledByTheServer(std::size_t& bytesRead) {
    auto capture = PreviewCapture::system();
    return {[&bytesRead, grab = capture.grab](const CaptureTarget& target, PreviewSize size) {
                auto picture = grab(target, size);
                bytesRead = picture ? picture->pixels.size() : 0;
                return picture;
            },
            capture.encode};
}

int run(const std::string& way, const char* folder) {
    auto connected = X11Desktop::connect(nullptr);
    if (!connected) {
        std::fprintf(stderr, "%s\n", connected.error().c_str());
        return 1;
    }
    const auto main = connected.value()->mainDisplay();
    if (!main) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    const int width = static_cast<int>(main->bounds.width);
    const int height = static_cast<int>(main->bounds.height);
    ContentPainter painter(width, height);
    if (painter.pid < 0) {
        std::fprintf(stderr, "the content could not be painted\n");
        return 1;
    }
    std::size_t bytesRead = 0;
    const auto capture =
        way == "server" ? scaledByTheServer(bytesRead) : scaledInTheProgram(bytesRead);
    const auto source = StudioCaptureSource::display(*main);
    const long peakBefore = peakKilobytes();
    std::vector<double> milliseconds;
    std::optional<std::vector<std::uint8_t>> jpeg;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        jpeg = capturePreviewJPEG(source, capture);
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    const auto at = [&](double share) {
        return milliseconds[static_cast<std::size_t>(
            std::ceil(share * static_cast<double>(milliseconds.size())) - 1)];
    };
    // A picture that fits no quality into the budget gives no thumbnail, yet took the time.
    const std::string result =
        jpeg ? "JPEG " + std::to_string(jpeg->size()) + " bytes" : "no thumbnail (over budget)";
    std::printf(
        "%s %dx%d: median %.2f ms, p95 %.2f ms; read back %zu bytes; peak memory +%ld KiB; %s\n",
        way.c_str(), width, height, at(0.5), at(0.95), bytesRead, peakKilobytes() - peakBefore,
        result.c_str());
    if (folder && jpeg) {
        const auto path =
            std::filesystem::path(folder) / ("thumbnail-" + way + "-" + std::to_string(width) +
                                             "x" + std::to_string(height) + ".png");
        std::filesystem::create_directories(folder);
        testing::writeJPEGAsPNG(*jpeg, path);
    }
    return 0;
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    const std::string way = argc > 1 ? argv[1] : "";
    const bool write = argc == 4 && std::strcmp(argv[2], "--write") == 0;
    if ((way != "server" && way != "program") || (argc != 2 && !write)) {
        std::fprintf(stderr, "usage: source_preview_benchmark server|program [--write DIR]\n");
        return 2;
    }
    return quillory::run(way, write ? argv[3] : nullptr);
}
