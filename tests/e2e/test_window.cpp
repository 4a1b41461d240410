// quillory-test-window: an X11 client for capture and input tests.
//
//   quillory-test-window [--title T] [--pid N] [--geometry WxH+X+Y] [--paused] [--fullscreen]
//                        [--still]
//
// Sixty times a second it paints a frame derived only from its counter (scrolling desktop-like
// content and the frame barcode), so a benchmark can regenerate any frame, and writes one JSON
// line: {"counter":N,"time":ns}, the monotonic time at which the server had the frame (after a
// flush and a round trip). It also writes the pointer and button events it receives, in window
// coordinates, and its configure notifications. Commands on stdin, one a line: "move X Y",
// "resize W H", "pause", "resume", "close"; each is answered with {"event":"ack",...} carrying
// the counter of the frame on screen.
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "tests/support/frame_barcode.h"
#include "tests/support/synthetic_desktop.h"

namespace {

std::int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

void roundTrip(xcb_connection_t* c) {
    xcb_flush(c);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

struct Options {
    std::string title = "Quillory test window";
    std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    int width = 640, height = 480, x = 100, y = 100;
    bool paused = false;
    // Asks the window manager for the whole screen, without decorations, so that a display
    // capture shows exactly the painted frames.
    bool fullscreen = false;
    // The desktop content stays put and only the barcode changes, as on a screen where little
    // moves; otherwise the whole picture scrolls by a row a frame.
    bool still = false;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--title") {
            options.title = value;
            ++i;
        } else if (arg == "--pid") {
            options.pid = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
            ++i;
        } else if (arg == "--geometry") {
            if (std::sscanf(value, "%dx%d+%d+%d", &options.width, &options.height, &options.x,
                            &options.y) != 4 ||
                options.width < 16 || options.height < 16) {
                std::fprintf(stderr, "quillory-test-window: --geometry wants WxH+X+Y\n");
                std::exit(2);
            }
            ++i;
        } else if (arg == "--paused") {
            options.paused = true;
        } else if (arg == "--fullscreen") {
            options.fullscreen = true;
        } else if (arg == "--still") {
            options.still = true;
        } else {
            std::fprintf(stderr, "quillory-test-window: unknown argument %s\n", arg.c_str());
            std::exit(2);
        }
    }
    return options;
}

class TestWindow {
  public:
    TestWindow(xcb_connection_t* c, xcb_screen_t* screen, const Options& options)
        : c_(c),
          screen_(screen),
          width_(options.width),
          height_(options.height),
          still_(options.still) {
        window_ = xcb_generate_id(c);
        const std::uint32_t values[] = {
            screen->black_pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                     XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_BUTTON_PRESS |
                                     XCB_EVENT_MASK_BUTTON_RELEASE};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, screen->root,
                          static_cast<std::int16_t>(options.x),
                          static_cast<std::int16_t>(options.y), static_cast<std::uint16_t>(width_),
                          static_cast<std::uint16_t>(height_), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        const auto text = [&](xcb_atom_t property, xcb_atom_t type, const std::string& value) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, property, type, 8,
                                static_cast<std::uint32_t>(value.size()), value.data());
        };
        text(intern(c, "_NET_WM_NAME"), intern(c, "UTF8_STRING"), options.title);
        text(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, options.title);
        static constexpr char wmClass[] = "quillory-test-window\0QuilloryTestWindow";
        text(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string(wmClass, sizeof wmClass));
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        text(XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, host);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, intern(c, "_NET_WM_PID"),
                            XCB_ATOM_CARDINAL, 32, 1, &options.pid);
        // Two icon sizes, 16 and 64, in distinct colours so a test can tell which was chosen.
        std::vector<std::uint32_t> icon;
        for (const auto& [side, colour] : {std::pair{16u, 0xFFFF0000u}, {64u, 0xFF0000FFu}}) {
            icon.push_back(side);
            icon.push_back(side);
            icon.insert(icon.end(), side * side, colour);
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, intern(c, "_NET_WM_ICON"),
                            XCB_ATOM_CARDINAL, 32, static_cast<std::uint32_t>(icon.size()),
                            icon.data());
        if (options.fullscreen) {
            const xcb_atom_t state = intern(c, "_NET_WM_STATE_FULLSCREEN");
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, intern(c, "_NET_WM_STATE"),
                                XCB_ATOM_ATOM, 32, 1, &state);
        }
        gc_ = xcb_generate_id(c);
        xcb_create_gc(c, gc_, window_, 0, nullptr);
        xcb_map_window(c, window_);
        const std::uint32_t position[] = {static_cast<std::uint32_t>(options.x),
                                          static_cast<std::uint32_t>(options.y)};
        xcb_configure_window(c, window_, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
        roundTrip(c);
    }

    xcb_window_t id() const { return window_; }

    void paint(std::uint32_t counter) {
        const int stride = width_ * 4;
        pixels_.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height_));
        quillory::testing::paintSyntheticDesktop(pixels_.data(), width_, height_, stride,
                                                 still_ ? 0 : static_cast<int>(counter % 1000));
        quillory::testing::paintFrameBarcode(counter, pixels_.data(), width_, height_, stride);
        // Strips small enough for any request size limit go to a pixmap first; one copy then
        // puts the whole frame on screen, so that no grab ever sees half of one.
        if (buffer_ == XCB_PIXMAP_NONE) {
            buffer_ = xcb_generate_id(c_);
            xcb_create_pixmap(c_, screen_->root_depth, buffer_, window_,
                              static_cast<std::uint16_t>(width_),
                              static_cast<std::uint16_t>(height_));
        }
        const int rows = std::max(1, 200'000 / stride);
        for (int y = 0; y < height_; y += rows) {
            const int count = std::min(rows, height_ - y);
            xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, buffer_, gc_,
                          static_cast<std::uint16_t>(width_), static_cast<std::uint16_t>(count), 0,
                          static_cast<std::int16_t>(y), 0, screen_->root_depth,
                          static_cast<std::uint32_t>(stride * count),
                          pixels_.data() + static_cast<std::ptrdiff_t>(y) * stride);
        }
        xcb_copy_area(c_, buffer_, window_, gc_, 0, 0, 0, 0, static_cast<std::uint16_t>(width_),
                      static_cast<std::uint16_t>(height_));
        roundTrip(c_);
        std::printf("{\"counter\":%u,\"time\":%lld}\n", counter,
                    static_cast<long long>(monotonicNanoseconds()));
        std::fflush(stdout);
    }

    void resized(int width, int height) {
        if (width != width_ || height != height_) {
            if (buffer_ != XCB_PIXMAP_NONE) {
                xcb_free_pixmap(c_, buffer_);
                buffer_ = XCB_PIXMAP_NONE;
            }
        }
        width_ = width;
        height_ = height;
    }

    bool command(const std::string& line, bool& paused, std::uint32_t counter) {
        int a = 0, b = 0;
        if (std::sscanf(line.c_str(), "move %d %d", &a, &b) == 2) {
            const std::uint32_t values[] = {static_cast<std::uint32_t>(a),
                                            static_cast<std::uint32_t>(b)};
            xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
        } else if (std::sscanf(line.c_str(), "resize %d %d", &a, &b) == 2 && a >= 16 && b >= 16) {
            const std::uint32_t values[] = {static_cast<std::uint32_t>(a),
                                            static_cast<std::uint32_t>(b)};
            xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                                 values);
        } else if (line == "pause") {
            paused = true;
        } else if (line == "resume") {
            paused = false;
        } else if (line == "close") {
            return false;
        } else {
            std::printf("{\"event\":\"error\",\"command\":\"unknown\"}\n");
            std::fflush(stdout);
            return true;
        }
        roundTrip(c_);
        std::printf("{\"event\":\"ack\",\"command\":\"%s\",\"counter\":%u}\n",
                    line.substr(0, line.find(' ')).c_str(), counter);
        std::fflush(stdout);
        return true;
    }

  private:
    xcb_connection_t* c_;
    xcb_screen_t* screen_;
    xcb_window_t window_;
    xcb_gcontext_t gc_;
    xcb_pixmap_t buffer_ = XCB_PIXMAP_NONE;  // the frame being painted
    int width_, height_;
    bool still_;
    std::vector<std::uint8_t> pixels_;
};

void report(const xcb_generic_event_t* event, TestWindow& window) {
    switch (event->response_type & 0x7f) {
        case XCB_MOTION_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_motion_notify_event_t*>(event);
            std::printf("{\"event\":\"motion\",\"x\":%d,\"y\":%d}\n", e->event_x, e->event_y);
            break;
        }
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE: {
            const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(event);
            std::printf("{\"event\":\"%s\",\"button\":%u,\"x\":%d,\"y\":%d}\n",
                        (event->response_type & 0x7f) == XCB_BUTTON_PRESS ? "press" : "release",
                        e->detail, e->event_x, e->event_y);
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (e->window == window.id()) {
                window.resized(e->width, e->height);
                std::printf(
                    "{\"event\":\"configure\",\"x\":%d,\"y\":%d,\"width\":%u,\"height\":%u,"
                    "\"synthetic\":%s}\n",
                    e->x, e->y, e->width, e->height,
                    (event->response_type & 0x80) ? "true" : "false");
            }
            break;
        }
        default:
            return;
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "quillory-test-window: no X server answers\n");
        return 1;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screens);
    }
    TestWindow window(c, screens.data, options);
    std::printf("{\"event\":\"ready\",\"window\":%u,\"pid\":%u}\n", window.id(), options.pid);
    std::fflush(stdout);

    bool paused = options.paused;
    std::uint32_t counter = 0;
    window.paint(counter);
    constexpr std::int64_t interval = 1'000'000'000 / 60;
    std::int64_t next = monotonicNanoseconds() + interval;
    std::string input;
    while (true) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            report(event, window);
            if ((event->response_type & 0x7f) == XCB_EXPOSE && paused) {
                window.paint(counter);
            }
            std::free(event);
        }
        if (xcb_connection_has_error(c)) {
            return 1;
        }
        const std::int64_t now = monotonicNanoseconds();
        if (now >= next) {
            next += interval;
            if (next < now) {
                next = now + interval;  // fell behind: skip, do not burst
            }
            if (!paused) {
                window.paint(++counter);
            }
            continue;
        }
        pollfd fds[] = {{STDIN_FILENO, POLLIN, 0}, {xcb_get_file_descriptor(c), POLLIN, 0}};
        const int timeout = static_cast<int>((next - now) / 1'000'000) + 1;
        if (poll(fds, 2, timeout) < 0) {
            continue;
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char buffer[256];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                break;  // stdin closed: done
            }
            input.append(buffer, static_cast<std::size_t>(n));
            for (auto end = input.find('\n'); end != std::string::npos; end = input.find('\n')) {
                const std::string line = input.substr(0, end);
                input.erase(0, end + 1);
                if (!window.command(line, paused, counter)) {
                    xcb_disconnect(c);
                    return 0;
                }
            }
        }
    }
    xcb_disconnect(c);
    return 0;
}
