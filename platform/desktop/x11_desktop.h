#pragma once

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "platform/desktop/desktop.h"
#include "platform/result/result.h"

namespace quillory {

// The X server's displays (RandR monitors), its window stack (the window manager's
// _NET_CLIENT_LIST_STACKING, or the root's children without one) and the active window.
class X11Desktop final : public Desktop {
  public:
    // `display` nullptr means $DISPLAY.
    static Result<std::shared_ptr<X11Desktop>, std::string> connect(const char* display);
    ~X11Desktop() override;

    std::vector<DisplayInfo> displays() const override;
    // From the displays last asked for, asked again once the server reported a change: the pen
    // path checks its display with every batch, and a round trip there costs more than the batch.
    std::optional<DisplayInfo> display(std::uint32_t id) const override;
    std::optional<std::vector<WindowInfo>> windows() const override;
    std::optional<WindowInfo> window(std::uint32_t id) const override;
    std::optional<std::vector<ShareableWindow>> shareableWindows() const override;
    std::optional<ApplicationInfo> frontmostApplication() const override;
    bool raise(std::uint32_t windowID) override;

    Rect rootBounds() const;

  private:
    struct Atoms;
    struct StackedWindow;
    // The stacking walk both window lists share, front to back, with the raw values of `extra`
    // window properties; every request first, then every reply: one round trip for the list.
    // `only` asks about those windows instead of the whole stack.
    std::optional<std::vector<StackedWindow>> stackedWindows(
        std::span<const xcb_atom_t> extra, std::span<const xcb_window_t> only = {}) const;
    std::optional<WindowInfo> onScreen(const StackedWindow& window) const;
    X11Desktop(xcb_connection_t* connection, xcb_screen_t* screen);
    std::vector<std::uint32_t> windowProperty(xcb_window_t window, xcb_atom_t property) const;
    std::optional<xcb_window_t> activeWindow() const;
    // An atom's name, asked once: the pen path checks its display with every batch, and an
    // atom's name never changes while the server runs.
    std::string atomName(xcb_atom_t atom) const;
    // Reads the events this connection has received; true when any arrived. It asks only for the
    // root's structure and RandR changes, so any event may mean a display changed.
    bool displaysMayHaveChanged() const;

    xcb_connection_t* connection_;
    xcb_screen_t* screen_;
    std::unique_ptr<Atoms> atoms_;
    mutable std::mutex namesMutex_;
    mutable std::map<xcb_atom_t, std::string> names_;
    mutable std::mutex displaysMutex_;
    mutable std::optional<std::vector<DisplayInfo>> knownDisplays_;
};

}  // namespace quillory
