#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/geometry.h"

namespace quillory {

struct DisplayInfo {
    std::uint32_t id = 0;
    Rect bounds;
    bool primary = false;
    std::string name;
    friend bool operator==(const DisplayInfo&, const DisplayInfo&) = default;
};

struct WindowInfo {
    std::uint32_t id = 0;
    Rect frame;  // including the window manager's decorations
    std::optional<std::int32_t> processID;
    // 0 for ordinary application windows; docks, panels and unmanaged overlays sit higher.
    int layer = 0;
    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

// The application a shareable window belongs to, as far as the window tells.
struct WindowApplication {
    std::optional<std::int32_t> processID;  // only when the window runs on this host
    std::string identifier;  // the .desktop file id where one matches, else the WM_CLASS class
    std::string name;        // the .desktop Name, else the WM_CLASS class
    friend bool operator==(const WindowApplication&, const WindowApplication&) = default;
};

// A window as the Studio source list needs it: the lean WindowInfo plus what a person reads.
struct ShareableWindow {
    WindowInfo info;    // layer 0 only for managed normal and dialog windows
    std::string title;  // _NET_WM_NAME, else WM_NAME; may be empty
    // Viewable, not hidden, and on the current desktop or on all of them.
    bool onScreen = false;
    std::optional<WindowApplication> application;  // none without a WM_CLASS
    friend bool operator==(const ShareableWindow&, const ShareableWindow&) = default;
};

struct ApplicationInfo {
    std::int32_t processID = 0;
    std::string identifier;  // the .desktop file id where one matches, else the WM_CLASS class
    std::string name;        // the .desktop Name, else the WM_CLASS class
    std::uint32_t windowID = 0;
};

// Displays, windows and the frontmost application. Safe to use from any thread.
class Desktop {
  public:
    virtual ~Desktop() = default;

    // The active displays; the primary one first when there is one.
    virtual std::vector<DisplayInfo> displays() const = 0;
    // On-screen windows from front to back, desktop backgrounds excluded; none when the list
    // cannot be read.
    virtual std::optional<std::vector<WindowInfo>> windows() const = 0;
    // One window as windows() lists it, asked about alone; none when it is not on screen or
    // cannot be read.
    virtual std::optional<WindowInfo> window(std::uint32_t id) const;
    // Every top-level window from front to back, off-screen ones included (marked so); slower
    // than windows(), for source lists rather than the pen path.
    virtual std::optional<std::vector<ShareableWindow>> shareableWindows() const = 0;
    virtual std::optional<ApplicationInfo> frontmostApplication() const = 0;
    // Brings the window to the front and gives it focus; false when it is gone.
    virtual bool raise(std::uint32_t windowID) = 0;

    // The primary display, else the first.
    std::optional<DisplayInfo> mainDisplay() const;
    // The display while it is active.
    virtual std::optional<DisplayInfo> display(std::uint32_t id) const;
};

// Stands in when no display server answers: one 1920×1080 primary display, no windows.
class FallbackDesktop final : public Desktop {
  public:
    std::vector<DisplayInfo> displays() const override;
    std::optional<std::vector<WindowInfo>> windows() const override;
    std::optional<std::vector<ShareableWindow>> shareableWindows() const override;
    std::optional<ApplicationInfo> frontmostApplication() const override;
    bool raise(std::uint32_t windowID) override;
};

}  // namespace quillory
