#include "platform/capture/x11_grabber.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/capture/x11_reply.h"
#include "platform/clock/clock.h"
#include "platform/desktop/x11_connection.h"

namespace quillory {

namespace {

// Below this many rows a strip costs more in round trips than the overlap saves.
constexpr int minimumStripRows = 128;
constexpr int maximumStrips = 4;

}  // namespace

BgrxPicture copiedPicture(const BgrxImage& image) {
    BgrxPicture picture{image.width, image.height,
                        std::vector<std::uint8_t>(static_cast<std::size_t>(image.width) *
                                                  static_cast<std::size_t>(image.height) * 4)};
    const std::size_t row = static_cast<std::size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(picture.pixels.data() + static_cast<std::size_t>(y) * row,
                    image.data + static_cast<std::ptrdiff_t>(y) * image.stride, row);
    }
    if (image.byteOrder == BgrxByteOrder::mostSignificantFirst) {
        for (std::size_t i = 0; i + 3 < picture.pixels.size(); i += 4) {
            std::swap(picture.pixels[i], picture.pixels[i + 3]);
            std::swap(picture.pixels[i + 1], picture.pixels[i + 2]);
        }
    }
    return picture;
}

std::unique_ptr<X11Grabber> X11Grabber::open(const char* display, CaptureError& error) {
    const auto opened = X11Connection::open(display);
    if (!opened) {
        error = {"Screen capture cannot reach the X server: " + opened.error() + "."};
        return nullptr;
    }
    const X11Connection& x11 = opened.value();
    std::unique_ptr<X11Grabber> grabber(new X11Grabber(x11.connection, x11.screen));
    xcb_connection_t* c = x11.connection;
    const struct {
        xcb_extension_t* id;
        const char* name;
    } required[] = {{&xcb_shm_id, "MIT-SHM"},
                    {&xcb_composite_id, "Composite"},
                    {&xcb_damage_id, "DAMAGE"},
                    {&xcb_xfixes_id, "XFIXES"}};
    for (const auto& extension : required) {
        const auto* data = xcb_get_extension_data(c, extension.id);
        if (!data || !data->present) {
            error = {std::string("Screen capture needs the X server's ") + extension.name +
                     " extension, which it does not offer."};
            return nullptr;
        }
    }
    // Each extension must be told the version we speak before its first use.
    auto composite = xcb_composite_query_version(c, 0, 4);
    auto damage = xcb_damage_query_version(c, 1, 1);
    auto fixes = xcb_xfixes_query_version(c, 4, 0);
    X11Reply<xcb_composite_query_version_reply_t> compositeReply(
        xcb_composite_query_version_reply(c, composite, nullptr));
    X11Reply<xcb_damage_query_version_reply_t> damageReply(
        xcb_damage_query_version_reply(c, damage, nullptr));
    X11Reply<xcb_xfixes_query_version_reply_t> fixesReply(
        xcb_xfixes_query_version_reply(c, fixes, nullptr));
    if (!compositeReply || !damageReply || !fixesReply) {
        error = {"Screen capture could not set up the X server's extensions."};
        return nullptr;
    }
    grabber->damageEvent_ = xcb_get_extension_data(c, &xcb_damage_id)->first_event;
    if (const auto* randr = xcb_get_extension_data(c, &xcb_randr_id); randr && randr->present) {
        grabber->randrEvent_ = randr->first_event;
    }
    return grabber;
}

X11Grabber::X11Grabber(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection),
      root_(screen->root),
      byteOrder_(xcb_get_setup(connection)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST
                     ? BgrxByteOrder::leastSignificantFirst
                     : BgrxByteOrder::mostSignificantFirst) {}

X11Grabber::~X11Grabber() {
    release();
    xcb_disconnect(connection_);
}

void X11Grabber::release() {
    if (segment_ != 0) {
        xcb_shm_detach(connection_, segment_);
        xcb_flush(connection_);
        segment_ = 0;
    }
    if (memory_) {
        shmdt(memory_);
        memory_ = nullptr;
    }
    size_ = 0;
}

bool X11Grabber::reserve(std::size_t bytes) {
    if (bytes <= size_ && memory_) {
        return true;
    }
    release();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) {
        return false;
    }
    void* memory = shmat(id, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(connection_);
    auto* failure = xcb_request_check(
        connection_,
        xcb_shm_attach_checked(connection_, segment, static_cast<std::uint32_t>(id), 0));
    // Marked for removal at once: the segment goes away with the last of us and the server.
    shmctl(id, IPC_RMID, nullptr);
    if (failure) {
        std::free(failure);
        shmdt(memory);
        return false;
    }
    memory_ = static_cast<std::uint8_t*>(memory);
    segment_ = segment;
    size_ = bytes;
    return true;
}

std::optional<BgrxImage> X11Grabber::grab(xcb_drawable_t drawable, const PixelRect& area) {
    if (!validArea(area)) {
        return std::nullopt;
    }
    const std::size_t bytes =
        static_cast<std::size_t>(area.width) * static_cast<std::size_t>(area.height) * 4;
    if (!reserve(bytes)) {
        return std::nullopt;
    }
    X11Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        connection_,
        xcb_shm_get_image(connection_, drawable, static_cast<std::int16_t>(area.x),
                          static_cast<std::int16_t>(area.y), static_cast<std::uint16_t>(area.width),
                          static_cast<std::uint16_t>(area.height), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                          segment_, 0),
        nullptr));
    // Only 24- and 32-bit depths come as four bytes a pixel.
    if (!reply || reply->size < bytes || (reply->depth != 24 && reply->depth != 32)) {
        return std::nullopt;
    }
    return BgrxImage{memory_, area.width, area.height, area.width * 4, byteOrder_};
}

X11Grabber::Conversion X11Grabber::grabInto(xcb_drawable_t drawable, const PixelRect& requested,
                                            const PixelRect& region, const Cursor* cursor,
                                            const PixelBuffer* previous, PixelBuffer& target) {
    // A target only rounded down to even edges leaves out the odd last column or row: fitting
    // the whole area into it would shift and blend every pixel, by up to one at the far edge.
    PixelRect area = requested;
    if (target.width() == (requested.width & ~1) && target.height() == (requested.height & ~1)) {
        area.width = target.width();
        area.height = target.height();
    }
    const bool unscaled = area.width == target.width() && area.height == target.height();
    if (!unscaled) {
        return grabScaled(drawable, area, cursor, target);
    }
    const bool partial =
        previous && previous->width() == target.width() && previous->height() == target.height();
    PixelRect part{0, 0, area.width, area.height};
    if (partial) {
        part = evenPart(area, region);
        copyNv12Outside(*previous, part, target);
        if (part.width == 0) {
            grabbedAt_ = uptimeSeconds();
            return Conversion::done;
        }
    }
    return grabInStrips(drawable, area, part, cursor, target);
}

PixelRect X11Grabber::evenPart(const PixelRect& area, const PixelRect& region) {
    // NV12 keeps a chroma sample per 2×2 pixels: the part grabbed starts and ends on even
    // pixels of the area.
    const int left = std::max(region.x - area.x, 0) & ~1;
    const int top = std::max(region.y - area.y, 0) & ~1;
    const int right = std::min((region.x + region.width - area.x + 1) & ~1, area.width);
    const int bottom = std::min((region.y + region.height - area.y + 1) & ~1, area.height);
    return right > left && bottom > top ? PixelRect{left, top, right - left, bottom - top}
                                        : PixelRect{};
}

X11Grabber::Conversion X11Grabber::grabScaled(xcb_drawable_t drawable, const PixelRect& area,
                                              const Cursor* cursor, PixelBuffer& target) {
    auto image = grab(drawable, area);
    if (!image) {
        return Conversion::grabFailed;
    }
    grabbedAt_ = uptimeSeconds();
    if (cursor) {
        drawCursor(*cursor, *image, area.x, area.y);
    }
    return convertBgrxToNv12(*image, target) ? Conversion::conversionFailed : Conversion::done;
}

X11Grabber::Conversion X11Grabber::grabInStrips(xcb_drawable_t drawable, const PixelRect& area,
                                                const PixelRect& part, const Cursor* cursor,
                                                PixelBuffer& target) {
    const PixelRect grabbed{area.x + part.x, area.y + part.y, part.width, part.height};
    const std::size_t row = static_cast<std::size_t>(part.width) * 4;
    if (!validArea(grabbed) || !reserve(row * static_cast<std::size_t>(part.height))) {
        return Conversion::grabFailed;
    }
    // In strips, each into its own part of the segment, asked for at once: the server copies them
    // one after the other with no round trip between, while the first ones are converted, and
    // another client's drawing seldom comes between them.
    const int strips = std::clamp(part.height / minimumStripRows, 1, maximumStrips);
    const int stripRows = ((part.height + strips - 1) / strips + 1) & ~1;
    std::array<xcb_shm_get_image_cookie_t, maximumStrips> cookies{};
    int count = 0;
    for (int top = 0; top < part.height; top += stripRows) {
        const int rows = std::min(stripRows, part.height - top);
        cookies[static_cast<std::size_t>(count++)] = xcb_shm_get_image(
            connection_, drawable, static_cast<std::int16_t>(grabbed.x),
            static_cast<std::int16_t>(grabbed.y + top), static_cast<std::uint16_t>(part.width),
            static_cast<std::uint16_t>(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment_,
            static_cast<std::uint32_t>(row * static_cast<std::size_t>(top)));
    }
    xcb_flush(connection_);
    const auto discardFrom = [&](int first) {
        for (int k = first; k < count; ++k) {
            xcb_discard_reply(connection_, cookies[static_cast<std::size_t>(k)].sequence);
        }
    };
    for (int k = 0; k < count; ++k) {
        const int top = k * stripRows;
        const int rows = std::min(stripRows, part.height - top);
        X11Reply<xcb_shm_get_image_reply_t> reply(
            xcb_shm_get_image_reply(connection_, cookies[static_cast<std::size_t>(k)], nullptr));
        if (!reply || reply->size < row * static_cast<std::size_t>(rows) ||
            (reply->depth != 24 && reply->depth != 32)) {
            discardFrom(k + 1);
            return Conversion::grabFailed;
        }
        if (k == count - 1) {
            grabbedAt_ = uptimeSeconds();
        }
        BgrxImage strip{memory_ + row * static_cast<std::size_t>(top), part.width, rows,
                        part.width * 4, byteOrder_};
        if (cursor) {
            drawCursor(*cursor, strip, grabbed.x, grabbed.y + top);
        }
        if (convertBgrxToNv12At(strip, target, part.x, part.y + top)) {
            discardFrom(k + 1);
            return Conversion::conversionFailed;
        }
    }
    return Conversion::done;
}

bool X11Grabber::validArea(const PixelRect& area) {
    return area.width > 0 && area.height > 0 && area.x >= -32768 && area.y >= -32768 &&
           area.width <= 32767 && area.height <= 32767;
}

std::optional<X11Grabber::Cursor> X11Grabber::cursor() {
    X11Reply<xcb_xfixes_get_cursor_image_reply_t> reply(xcb_xfixes_get_cursor_image_reply(
        connection_, xcb_xfixes_get_cursor_image(connection_), nullptr));
    if (!reply) {
        return std::nullopt;
    }
    const auto* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    const int count = xcb_xfixes_get_cursor_image_cursor_image_length(reply.get());
    if (count != reply->width * reply->height) {
        return std::nullopt;
    }
    return Cursor{reply->x - reply->xhot, reply->y - reply->yhot, reply->cursor_serial,
                  reply->width,           reply->height,          {pixels, pixels + count}};
}

void X11Grabber::drawCursor(const Cursor& cursor, BgrxImage& image, int originX, int originY) {
    auto* pixels = const_cast<std::uint8_t*>(image.data);
    const bool lsb = image.byteOrder == BgrxByteOrder::leastSignificantFirst;
    for (int row = 0; row < cursor.height; ++row) {
        const int y = cursor.y - originY + row;
        if (y < 0 || y >= image.height) {
            continue;
        }
        for (int column = 0; column < cursor.width; ++column) {
            const int x = cursor.x - originX + column;
            if (x < 0 || x >= image.width) {
                continue;
            }
            const std::uint32_t source =
                cursor.argb[static_cast<std::size_t>(row * cursor.width + column)];
            const std::uint32_t alpha = source >> 24;
            if (alpha == 0) {
                continue;
            }
            auto* pixel = pixels + static_cast<std::ptrdiff_t>(y) * image.stride + x * 4;
            // Blue, green, red sit at bytes 0-2 (LSB first) or 3-1 (MSB first).
            for (int channel = 0; channel < 3; ++channel) {
                auto& target = pixel[lsb ? channel : 3 - channel];
                const std::uint32_t value = (source >> (8 * channel)) & 0xff;  // premultiplied
                target = static_cast<std::uint8_t>(value + target * (255 - alpha) / 255);
            }
        }
    }
}

std::vector<X11Grabber::Monitor> X11Grabber::monitors() {
    std::vector<Monitor> result;
    X11Reply<xcb_randr_get_monitors_reply_t> reply(xcb_randr_get_monitors_reply(
        connection_, xcb_randr_get_monitors(connection_, root_, 1), nullptr));
    if (!reply) {
        X11Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, root_), nullptr));
        if (geometry) {
            result.push_back({0,
                              {0, 0, static_cast<double>(geometry->width),
                               static_cast<double>(geometry->height)}});
        }
        return result;
    }
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        result.push_back(
            {it.data->name,
             {static_cast<double>(it.data->x), static_cast<double>(it.data->y),
              static_cast<double>(it.data->width), static_cast<double>(it.data->height)}});
    }
    return result;
}

std::optional<Rect> X11Grabber::monitorBounds(std::uint32_t monitorName) {
    for (const auto& monitor : monitors()) {
        if (monitor.name == monitorName) {
            return monitor.bounds;
        }
    }
    return std::nullopt;
}

std::optional<xcb_window_t> X11Grabber::topLevel(xcb_window_t window) {
    for (int depth = 0; depth < 64; ++depth) {
        X11Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
        if (!tree) {
            return std::nullopt;
        }
        if (tree->parent == root_ || tree->parent == XCB_WINDOW_NONE) {
            return window;
        }
        window = tree->parent;
    }
    return std::nullopt;
}

}  // namespace quillory
