#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/capture/capture_stream.h"
#include "platform/image/bgrx_picture.h"
#include "platform/video/pixel_conversion.h"

namespace quillory {

// The pixels of an image as a picture of their own, in BGRX byte order.
BgrxPicture copiedPicture(const BgrxImage& image);

// One X connection with the extensions capture needs (MIT-SHM, Composite, DAMAGE, XFIXES) and a
// shared-memory segment that grabs land in. Used from one thread at a time.
class X11Grabber {
  public:
    // `display` nullptr means $DISPLAY. Nothing, with `error` naming what is missing, when the
    // server does not answer or lacks one of the extensions.
    static std::unique_ptr<X11Grabber> open(const char* display, CaptureError& error);
    ~X11Grabber();
    X11Grabber(const X11Grabber&) = delete;
    X11Grabber& operator=(const X11Grabber&) = delete;

    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t root() const { return root_; }
    bool failed() const { return xcb_connection_has_error(connection_) != 0; }

    // The pixels of `area` of a drawable (the root or a window pixmap), valid until the next
    // grab. Nothing when the drawable is gone or the area leaves it.
    std::optional<BgrxImage> grab(xcb_drawable_t drawable, const PixelRect& area);

    struct Cursor {
        std::int32_t x = 0;  // top-left in root coordinates
        std::int32_t y = 0;
        std::uint32_t serial = 0;
        int width = 0;
        int height = 0;
        std::vector<std::uint32_t> argb;  // premultiplied
    };
    std::optional<Cursor> cursor();

    enum class Conversion { done, grabFailed, conversionFailed };
    // A picture of the drawable's `area` in `target`, straight from the shared memory: `region`
    // (inside the area, both in the drawable's coordinates) is grabbed and converted in place and
    // the rest comes from `previous`, the last picture of the same area. Without a previous
    // picture of the target's size, or when the target scales the area, the whole area is
    // grabbed. A target that is the area rounded down to even edges is not a scale: the area's
    // odd last column or row is left out. The cursor, when given, is drawn in first; its
    // rectangle must lie in the region.
    Conversion grabInto(xcb_drawable_t drawable, const PixelRect& area, const PixelRect& region,
                        const Cursor* cursor, const PixelBuffer* previous, PixelBuffer& target);
    // Uptime when the last grabInto() that succeeded had all its pixels from the server.
    double grabbedAt() const { return grabbedAt_; }
    // Blends the cursor into the last grab, which shows the root area at `origin`.
    static void drawCursor(const Cursor& cursor, BgrxImage& image, int originX, int originY);

    struct Monitor {
        std::uint32_t name = 0;  // the name atom, as DisplayInfo::id
        Rect bounds;
        friend bool operator==(const Monitor&, const Monitor&) = default;
    };
    // The active RandR monitors; without RandR 1.5 the root as monitor 0.
    std::vector<Monitor> monitors();
    // The monitor's rectangle while it exists.
    std::optional<Rect> monitorBounds(std::uint32_t monitorName);
    // The ancestor of `window` that is a child of the root: the window manager's frame.
    std::optional<xcb_window_t> topLevel(xcb_window_t window);

    std::uint8_t damageEventBase() const { return damageEvent_; }
    std::uint8_t randrEventBase() const { return randrEvent_; }

  private:
    X11Grabber(xcb_connection_t* connection, xcb_screen_t* screen);
    static bool validArea(const PixelRect& area);
    // The region within the area, widened to even pixels; empty when nothing of it is inside.
    static PixelRect evenPart(const PixelRect& area, const PixelRect& region);
    Conversion grabScaled(xcb_drawable_t drawable, const PixelRect& area, const Cursor* cursor,
                          PixelBuffer& target);
    // `part` of the area, in the area's coordinates, straight into the same place of `target`.
    Conversion grabInStrips(xcb_drawable_t drawable, const PixelRect& area, const PixelRect& part,
                            const Cursor* cursor, PixelBuffer& target);
    bool reserve(std::size_t bytes);
    void release();

    xcb_connection_t* connection_;
    xcb_window_t root_;
    BgrxByteOrder byteOrder_;
    std::uint8_t damageEvent_ = 0;
    std::uint8_t randrEvent_ = 0;
    std::uint32_t segment_ = 0;  // xcb_shm_seg_t; 0 when none is attached
    std::uint8_t* memory_ = nullptr;
    std::size_t size_ = 0;
    double grabbedAt_ = 0;
};

}  // namespace quillory
