#pragma once

#include <xcb/xcb.h>

#include <asio/posix/stream_descriptor.hpp>
#include <memory>
#include <optional>

#include "platform/capture/capture_damage_settle.h"
#include "platform/capture/capture_stream.h"
#include "platform/capture/x11_grabber.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// Captures a monitor (a grab of the root) or a window (a grab of its Composite pixmap, so a
// covered window still shows its own content) at the configured rate on the capture queue. DAMAGE
// decides between a new picture and an idle tick, and for a monitor it bounds the grab to what
// changed, converting straight from the shared memory into a pooled buffer; the XFIXES cursor is
// drawn in when inside. Damage also wakes the capture between ticks, so that a new picture is
// grabbed as soon as it is complete rather than up to a frame interval later.
// Monitor changes come from RandR notifications and from comparing the layout ten times a second.
class X11CaptureStream final : public CaptureStream {
  public:
    // `display` nullptr means $DISPLAY.
    static CaptureStreamFactory factory(const char* display = nullptr);

    X11CaptureStream(SerialQueue& queue, const CaptureTarget& target,
                     const CaptureStreamConfiguration& configuration, const char* display);
    ~X11CaptureStream() override;

    std::optional<CaptureError> start(Handlers handlers) override;
    std::optional<CaptureError> update(const CaptureStreamConfiguration& configuration) override;
    void stop() override;

  private:
    void tick();
    // Reads the queued events; `layout` also counts towards the periodic layout check. True when
    // damage was among them.
    bool readEvents(bool layout);
    void watchEvents();
    void eventsArrived();
    // True when it grabbed at once.
    bool settleDamage(bool damaged);
    void grabSettled();
    void deliver();
    std::optional<CaptureFrame> grabFrame();
    using Conversion = X11Grabber::Conversion;
    // `cursor` is the one to draw, if any, in root coordinates.
    Conversion grabDisplay(const PixelRect& area, const X11Grabber::Cursor* cursor,
                           PixelBuffer& buffer);
    Conversion grabWindow(const X11Grabber::Cursor* cursor, PixelBuffer& buffer);
    bool prepareWindow();
    void releaseWindow();
    void schedule();

    SerialQueue& queue_;
    const CaptureTarget target_;
    CaptureStreamConfiguration configuration_;
    std::string display_;
    std::unique_ptr<X11Grabber> grabber_;
    std::shared_ptr<PixelBufferPool> pool_;
    Handlers handlers_;
    Timer timer_;
    bool running_ = false;
    // The connection's socket, watched on the queue's context; the token lets a wait that
    // completes after stop() do nothing.
    std::unique_ptr<asio::posix::stream_descriptor> events_;
    std::shared_ptr<bool> watching_;
    CaptureDamageSettle settle_{1.0 / 60};
    Timer settleTimer_;

    std::uint32_t damage_ = 0;  // xcb_damage_damage_t
    bool damaged_ = true;
    bool delivering_ = false;
    // The last grab found no free buffer (or failed to convert): its damage stays untaken, and
    // the server reports no more until it is, so the next tick grabs again.
    bool grabSkipped_ = false;
    // Display: the last picture of the monitor, cursor included, and what to grab anew: the
    // damage since the last grab and where the cursor was drawn.
    std::shared_ptr<PixelBuffer> previous_;
    std::optional<PixelRect> damagedArea_;
    std::optional<PixelRect> cursorArea_;
    std::optional<X11Grabber::Cursor> lastCursor_;
    bool cursorShown_ = false;

    // The monitor layout, compared every few ticks: defining a monitor (RandR 1.5) sends no event.
    std::vector<X11Grabber::Monitor> monitors_;
    int ticksUntilLayoutCheck_ = 0;
    // Display: the monitor's current rectangle.
    std::optional<Rect> monitor_;
    // Window: the frame window, its pixmap and where the captured frame lies inside it.
    xcb_window_t frameWindow_ = XCB_WINDOW_NONE;
    xcb_pixmap_t pixmap_ = XCB_PIXMAP_NONE;
    bool mapped_ = false;
    PixelRect crop_;
    int frameX_ = 0;  // the frame window's outer position, for the cursor
    int frameY_ = 0;
};

}  // namespace quillory
