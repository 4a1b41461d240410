#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/result/result.h"

namespace quillory {

// One entry of a window's _NET_WM_ICON: non-premultiplied ARGB, one 32-bit value a pixel, rows
// top to bottom.
struct WindowIcon {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
    friend bool operator==(const WindowIcon&, const WindowIcon&) = default;
};

// The entries of a _NET_WM_ICON value (width, height, then width × height pixels, repeated).
// Parsing stops at the first entry that is empty, larger than 1024 pixels a side or longer than
// what is left, so a malformed property never reads past its end.
std::vector<WindowIcon> parseWindowIcons(std::span<const std::uint32_t> values);

// The entry closest to at least `side` pixels (the smallest of those at least that large), else
// the largest; nothing for an empty list.
std::optional<WindowIcon> closestWindowIcon(const std::vector<WindowIcon>& icons, int side);

// Reads windows' icons over a connection of its own. Safe from any thread.
class X11WindowIcons {
  public:
    // `display` nullptr means $DISPLAY.
    static Result<std::unique_ptr<X11WindowIcons>, std::string> connect(const char* display);
    ~X11WindowIcons();
    X11WindowIcons(const X11WindowIcons&) = delete;
    X11WindowIcons& operator=(const X11WindowIcons&) = delete;

    std::vector<WindowIcon> icons(std::uint32_t window) const;

  private:
    X11WindowIcons(xcb_connection_t* connection, xcb_atom_t iconAtom);

    xcb_connection_t* connection_;
    xcb_atom_t iconAtom_;
};

}  // namespace quillory
