#include "platform/capture/x11_capture_stream.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/randr.h>

#include <cmath>
#include <cstdlib>

#include "platform/capture/x11_reply.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/serial_queue.h"

namespace quillory {

namespace {

// One buffer stays with the stream as the picture that the next partial grab starts from.
constexpr std::size_t poolCapacity = 4;
constexpr int layoutChecksPerSecond = 10;

PixelRect united(const std::optional<PixelRect>& a, const PixelRect& b) {
    if (!a) {
        return b;
    }
    const int left = std::min(a->x, b.x);
    const int top = std::min(a->y, b.y);
    return {left, top, std::max(a->x + a->width, b.x + b.width) - left,
            std::max(a->y + a->height, b.y + b.height) - top};
}

PixelRect intersected(const PixelRect& a, const PixelRect& b) {
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width);
    const int bottom = std::min(a.y + a.height, b.y + b.height);
    return right > left && bottom > top ? PixelRect{left, top, right - left, bottom - top}
                                        : PixelRect{};
}

std::optional<Rect> monitorIn(const std::vector<X11Grabber::Monitor>& monitors,
                              std::uint32_t name) {
    for (const auto& monitor : monitors) {
        if (monitor.name == name) {
            return monitor.bounds;
        }
    }
    return std::nullopt;
}

}  // namespace

CaptureStreamFactory X11CaptureStream::factory(const char* display) {
    const std::string name = display ? display : "";
    return [name](SerialQueue& queue, const CaptureTarget& target,
                  const CaptureStreamConfiguration& configuration) {
        return std::make_unique<X11CaptureStream>(queue, target, configuration,
                                                  name.empty() ? nullptr : name.c_str());
    };
}

X11CaptureStream::X11CaptureStream(SerialQueue& queue, const CaptureTarget& target,
                                   const CaptureStreamConfiguration& configuration,
                                   const char* display)
    : queue_(queue),
      target_(target),
      configuration_(configuration),
      display_(display ? display : "") {}

X11CaptureStream::~X11CaptureStream() {
    stop();
}

std::optional<CaptureError> X11CaptureStream::start(Handlers handlers) {
    CaptureError error;
    grabber_ = X11Grabber::open(display_.empty() ? nullptr : display_.c_str(), error);
    if (!grabber_) {
        return error;
    }
    if (auto failure = update(configuration_)) {
        return failure;
    }
    xcb_connection_t* c = grabber_->connection();
    const std::uint32_t fixesMask = XCB_XFIXES_CURSOR_NOTIFY_MASK_DISPLAY_CURSOR;
    xcb_xfixes_select_cursor_input(c, grabber_->root(), fixesMask);
    if (grabber_->randrEventBase() != 0) {
        std::free(xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
        xcb_randr_select_input(c, grabber_->root(),
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
    }
    if (target_.kind == CaptureTarget::Kind::display) {
        damage_ = xcb_generate_id(c);
        // Bounding boxes: what changed, not only that something did.
        xcb_damage_create(c, damage_, grabber_->root(), XCB_DAMAGE_REPORT_LEVEL_BOUNDING_BOX);
    }
    monitors_ = grabber_->monitors();
    if (target_.kind == CaptureTarget::Kind::display) {
        monitor_ = monitorIn(monitors_, target_.id);
    } else if (!prepareWindow()) {
        return CaptureError{"The window to capture is gone."};
    }
    xcb_flush(c);
    handlers_ = std::move(handlers);
    running_ = true;
    schedule();
    watching_ = std::make_shared<bool>(true);
    events_ = std::make_unique<asio::posix::stream_descriptor>(queue_.context(),
                                                               xcb_get_file_descriptor(c));
    watchEvents();
    return std::nullopt;
}

void X11CaptureStream::watchEvents() {
    events_->async_wait(asio::posix::stream_descriptor::wait_read,
                        [this, alive = std::weak_ptr<bool>(watching_)](const asio::error_code& e) {
                            if (!e && alive.lock()) {
                                eventsArrived();
                            }
                        });
}

void X11CaptureStream::eventsArrived() {
    const bool damaged = readEvents(false);
    if (!running_ || grabber_->failed()) {
        return;  // a handler stopped us, or the tick reports the failure
    }
    settleDamage(damaged);
    if (running_) {
        watchEvents();  // unless the frame's handler stopped us
    }
}

bool X11CaptureStream::settleDamage(bool damaged) {
    if (!damaged) {
        return false;
    }
    const double now = uptimeSeconds();
    const double due = settle_.damaged(now);
    if (due <= now && !delivering_) {
        settleTimer_.cancel();
        deliver();
        return true;
    }
    settleTimer_ = queue_.after(std::max(0.0, due - now), [this] { grabSettled(); });
    return false;
}

void X11CaptureStream::grabSettled() {
    if (!running_) {
        return;
    }
    // Damage that arrived meanwhile moves the grab on, unless the bound has come.
    const bool more = readEvents(false);
    if (!running_) {
        return;
    }
    if (more) {
        const double now = uptimeSeconds();
        if (const double due = settle_.damaged(now); due > now) {
            settleTimer_ = queue_.after(due - now, [this] { grabSettled(); });
            return;
        }
    }
    if (damaged_) {
        deliver();
    }
}

void X11CaptureStream::schedule() {
    const double interval = 1.0 / std::max(1, configuration_.framesPerSecond);
    timer_ = queue_.every(interval, [this] { tick(); });
}

std::optional<CaptureError> X11CaptureStream::update(
    const CaptureStreamConfiguration& configuration) {
    auto pool = PixelBufferPool::create(configuration.width, configuration.height, poolCapacity);
    if (!pool || configuration.framesPerSecond <= 0) {
        return CaptureError{"The capture size or frame rate is not valid."};
    }
    const bool rateChanged = configuration.framesPerSecond != configuration_.framesPerSecond;
    configuration_ = configuration;
    settle_.setInterval(1.0 / configuration.framesPerSecond);
    pool_ = std::move(pool);
    previous_.reset();
    damaged_ = true;  // the next tick sends a picture at the new size
    if (running_ && rateChanged) {
        schedule();
    }
    return std::nullopt;
}

void X11CaptureStream::stop() {
    running_ = false;
    timer_.cancel();
    settleTimer_.cancel();
    watching_.reset();
    if (events_) {
        // The connection owns the socket: give it back without closing it.
        (void)events_->release();
        events_.reset();
    }
    handlers_ = {};
    if (grabber_) {
        if (damage_ != 0) {
            xcb_damage_destroy(grabber_->connection(), damage_);
        }
        releaseWindow();
        grabber_.reset();  // the disconnect ends the redirection too
    }
}

bool X11CaptureStream::prepareWindow() {
    xcb_connection_t* c = grabber_->connection();
    const auto frame = grabber_->topLevel(target_.id);
    if (!frame) {
        return false;
    }
    frameWindow_ = *frame;
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, frameWindow_, XCB_CW_EVENT_MASK, &mask);
    // Automatic redirection keeps the window's content in a pixmap of its own, covered or not;
    // it ends when this connection closes.
    xcb_composite_redirect_window(c, frameWindow_, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    damage_ = xcb_generate_id(c);
    xcb_damage_create(c, damage_, frameWindow_, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    X11Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, frameWindow_), nullptr));
    X11Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, frameWindow_), nullptr));
    if (!geometry || !attributes) {
        return false;
    }
    // The pixmap covers the window and its border; the captured frame is placed by its
    // rectangle relative to the window's outer corner.
    frameX_ = geometry->x;
    frameY_ = geometry->y;
    crop_ = {static_cast<int>(std::lround(target_.frame.x)) - frameX_,
             static_cast<int>(std::lround(target_.frame.y)) - frameY_,
             static_cast<int>(std::lround(target_.frame.width)),
             static_cast<int>(std::lround(target_.frame.height))};
    const int outerWidth = geometry->width + 2 * geometry->border_width;
    const int outerHeight = geometry->height + 2 * geometry->border_width;
    crop_.x = std::clamp(crop_.x, 0, outerWidth);
    crop_.y = std::clamp(crop_.y, 0, outerHeight);
    crop_.width = std::min(crop_.width, outerWidth - crop_.x);
    crop_.height = std::min(crop_.height, outerHeight - crop_.y);
    mapped_ = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    return crop_.width > 0 && crop_.height > 0;
}

void X11CaptureStream::releaseWindow() {
    if (pixmap_ != XCB_PIXMAP_NONE) {
        xcb_free_pixmap(grabber_->connection(), pixmap_);
        pixmap_ = XCB_PIXMAP_NONE;
    }
}

bool X11CaptureStream::readEvents(bool layout) {
    xcb_connection_t* c = grabber_->connection();
    bool displaysChanged = false;
    bool damaged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == grabber_->damageEventBase() + XCB_DAMAGE_NOTIFY) {
            const auto* damage = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
            damagedArea_ = united(damagedArea_, {damage->area.x, damage->area.y, damage->area.width,
                                                 damage->area.height});
            damaged_ = true;
            damaged = true;
        } else if (grabber_->randrEventBase() != 0 &&
                   (type == grabber_->randrEventBase() + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                    type == grabber_->randrEventBase() + XCB_RANDR_NOTIFY)) {
            displaysChanged = true;
        } else if (type == XCB_MAP_NOTIFY) {
            // A remapped window has a new pixmap.
            releaseWindow();
            mapped_ = true;
            damaged_ = true;
        } else if (type == XCB_UNMAP_NOTIFY || type == XCB_DESTROY_NOTIFY) {
            releaseWindow();
            mapped_ = false;
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (configure->window == frameWindow_) {
                releaseWindow();  // a new size gives a new pixmap
                frameX_ = configure->x;
                frameY_ = configure->y;
                damaged_ = true;
            }
        }
        std::free(event);
    }
    if (layout && --ticksUntilLayoutCheck_ <= 0) {
        ticksUntilLayoutCheck_ =
            std::max(1, configuration_.framesPerSecond / layoutChecksPerSecond);
        displaysChanged = true;
    }
    if (displaysChanged) {
        auto monitors = grabber_->monitors();
        if (monitors == monitors_) {
            return damaged;
        }
        monitors_ = std::move(monitors);
        if (target_.kind == CaptureTarget::Kind::display) {
            monitor_ = monitorIn(monitors_, target_.id);
            previous_.reset();
            damaged_ = true;
        }
        if (handlers_.onDisplaysChanged) {
            handlers_.onDisplaysChanged();
        }
    }
    return damaged;
}

void X11CaptureStream::tick() {
    if (!running_) {
        return;
    }
    const bool damaged = readEvents(true);
    if (!running_) {
        return;  // a handler stopped us
    }
    if (grabber_->failed()) {
        running_ = false;
        timer_.cancel();
        if (auto stopped = std::move(handlers_.onStopped)) {
            stopped();
        }
        return;
    }
    // Damage the tick found goes the way of all damage; while a picture waits to be complete the
    // tick leaves it alone, unless its grab was skipped: nothing else would take it up.
    if (!settleDamage(damaged) && running_ && (!settle_.due() || grabSkipped_)) {
        deliver();
    }
}

void X11CaptureStream::deliver() {
    const double started = uptimeSeconds();
    const auto frame = grabFrame();
    grabSkipped_ = !frame;
    if (frame && frame->status == CaptureFrameStatus::complete) {
        settle_.grabbed(started, uptimeSeconds());
    }
    // Events the grab's replies brought in sit in the connection's queue, where the socket
    // watch cannot see them. Read before the handler runs: it may end the stream.
    if (running_ && !grabber_->failed()) {
        delivering_ = true;
        settleDamage(readEvents(false));
        delivering_ = false;
    }
    if (running_ && frame && handlers_.onFrame) {
        handlers_.onFrame(*frame);
    }
}

std::optional<CaptureFrame> X11CaptureStream::grabFrame() {
    const bool display = target_.kind == CaptureTarget::Kind::display;
    if (display ? !monitor_ : !mapped_) {
        return CaptureFrame{.status = CaptureFrameStatus::blank};
    }
    std::optional<X11Grabber::Cursor> cursor;
    if (configuration_.showsCursor) {
        cursor = grabber_->cursor();
    }
    const int originX = display ? static_cast<int>(monitor_->x) : frameX_ + crop_.x;
    const int originY = display ? static_cast<int>(monitor_->y) : frameY_ + crop_.y;
    const int width = display ? static_cast<int>(monitor_->width) : crop_.width;
    const int height = display ? static_cast<int>(monitor_->height) : crop_.height;
    const auto inside = [&](const std::optional<X11Grabber::Cursor>& c) {
        return c && c->x < originX + width && c->x + c->width > originX &&
               c->y < originY + height && c->y + c->height > originY;
    };
    const bool cursorMoved = (inside(cursor) || cursorShown_) &&
                             (!lastCursor_ || !cursor || cursor->x != lastCursor_->x ||
                              cursor->y != lastCursor_->y || cursor->serial != lastCursor_->serial);
    if (!damaged_ && !cursorMoved) {
        return CaptureFrame{.status = CaptureFrameStatus::idle};
    }
    auto buffer = pool_->take();
    if (!buffer) {
        return std::nullopt;  // every buffer is still in use downstream: skip this tick
    }
    xcb_connection_t* c = grabber_->connection();
    // Cleared before the grab, so that drawing during it reports again.
    xcb_damage_subtract(c, damage_, XCB_NONE, XCB_NONE);
    const bool shown = inside(cursor);
    const X11Grabber::Conversion conversion =
        display
            ? grabDisplay({originX, originY, width, height}, shown ? &*cursor : nullptr, *buffer)
            : grabWindow(shown ? &*cursor : nullptr, *buffer);
    if (conversion != X11Grabber::Conversion::done) {
        previous_.reset();
        if (conversion == X11Grabber::Conversion::conversionFailed) {
            return std::nullopt;
        }
        releaseWindow();
        return CaptureFrame{.status = CaptureFrameStatus::blank};
    }
    damaged_ = false;
    lastCursor_ = cursor;
    cursorShown_ = shown;
    if (shown && display) {
        cursorArea_ = PixelRect{cursor->x, cursor->y, cursor->width, cursor->height};
    }
    previous_ = buffer;
    // The picture is as old as its grab, not as its conversion.
    return CaptureFrame{.status = CaptureFrameStatus::complete,
                        .image = std::move(buffer),
                        .presentationSeconds = grabber_->grabbedAt()};
}

X11CaptureStream::Conversion X11CaptureStream::grabDisplay(const PixelRect& area,
                                                           const X11Grabber::Cursor* cursor,
                                                           PixelBuffer& buffer) {
    // What changed, where the cursor was and where it is now: the rest of the last picture
    // stands.
    std::optional<PixelRect> region = damagedArea_;
    if (cursorArea_) {
        region = united(region, *cursorArea_);
    }
    if (cursor) {
        region = united(region, {cursor->x, cursor->y, cursor->width, cursor->height});
    }
    const auto conversion = grabber_->grabInto(grabber_->root(), area,
                                               region ? intersected(*region, area) : PixelRect{},
                                               cursor, previous_.get(), buffer);
    damagedArea_.reset();
    cursorArea_.reset();
    return conversion;
}

X11CaptureStream::Conversion X11CaptureStream::grabWindow(const X11Grabber::Cursor* cursor,
                                                          PixelBuffer& buffer) {
    xcb_connection_t* c = grabber_->connection();
    if (pixmap_ == XCB_PIXMAP_NONE) {
        pixmap_ = xcb_generate_id(c);
        xcb_composite_name_window_pixmap(c, frameWindow_, pixmap_);
    }
    // The pixmap's origin is the frame window's outer corner.
    std::optional<X11Grabber::Cursor> placed;
    if (cursor) {
        placed = *cursor;
        placed->x -= frameX_;
        placed->y -= frameY_;
    }
    return grabber_->grabInto(pixmap_, crop_, crop_, placed ? &*placed : nullptr, nullptr, buffer);
}

}  // namespace quillory
