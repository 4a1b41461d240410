#include "platform/desktop/window_icons.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/desktop/x11_connection.h"

namespace quillory {

namespace {

constexpr std::uint32_t largestSide = 1024;
// 16 MB of icon data at most, far above any real icon set.
constexpr std::uint32_t propertyWords = 4 * 1024 * 1024;

}  // namespace

std::vector<WindowIcon> parseWindowIcons(std::span<const std::uint32_t> values) {
    std::vector<WindowIcon> icons;
    while (values.size() >= 2) {
        const std::uint32_t width = values[0];
        const std::uint32_t height = values[1];
        if (width == 0 || height == 0 || width > largestSide || height > largestSide) {
            break;
        }
        const std::size_t pixels = std::size_t{width} * height;
        if (values.size() - 2 < pixels) {
            break;
        }
        icons.push_back(
            {static_cast<int>(width),
             static_cast<int>(height),
             {values.begin() + 2, values.begin() + 2 + static_cast<std::ptrdiff_t>(pixels)}});
        values = values.subspan(2 + pixels);
    }
    return icons;
}

std::optional<WindowIcon> closestWindowIcon(const std::vector<WindowIcon>& icons, int side) {
    const WindowIcon* best = nullptr;
    const auto size = [](const WindowIcon& icon) { return std::max(icon.width, icon.height); };
    for (const auto& icon : icons) {
        if (!best) {
            best = &icon;
        } else if (size(*best) >= side) {
            if (size(icon) >= side && size(icon) < size(*best)) {
                best = &icon;
            }
        } else if (size(icon) > size(*best)) {
            best = &icon;
        }
    }
    return best ? std::optional(*best) : std::nullopt;
}

Result<std::unique_ptr<X11WindowIcons>, std::string> X11WindowIcons::connect(const char* display) {
    const auto opened = X11Connection::open(display);
    if (!opened) {
        return Failure(opened.error());
    }
    const X11Connection& x11 = opened.value();
    static constexpr char name[] = "_NET_WM_ICON";
    auto* reply = xcb_intern_atom_reply(
        x11.connection, xcb_intern_atom(x11.connection, 0, sizeof name - 1, name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return std::unique_ptr<X11WindowIcons>(new X11WindowIcons(x11.connection, atom));
}

X11WindowIcons::X11WindowIcons(xcb_connection_t* connection, xcb_atom_t iconAtom)
    : connection_(connection), iconAtom_(iconAtom) {}

X11WindowIcons::~X11WindowIcons() {
    xcb_disconnect(connection_);
}

std::vector<WindowIcon> X11WindowIcons::icons(std::uint32_t window) const {
    auto* reply = xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, iconAtom_, XCB_ATOM_CARDINAL, 0, propertyWords),
        nullptr);
    std::vector<WindowIcon> icons;
    if (reply && reply->format == 32) {
        const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        const auto count = static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4;
        icons = parseWindowIcons({values, count});
    }
    std::free(reply);
    return icons;
}

}  // namespace quillory
