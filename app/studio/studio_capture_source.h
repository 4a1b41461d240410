#pragma once

#include <string>
#include <variant>

#include "app/studio/shareable_content.h"
#include "platform/capture/capture_stream.h"
#include "platform/desktop/desktop.h"

namespace quillory {

// One display or window of a shareable-content snapshot; a value never updates itself.
class StudioCaptureSource {
  public:
    static StudioCaptureSource display(DisplayInfo display);
    static StudioCaptureSource window(ShareableWindow window);

    bool isDisplay() const { return std::holds_alternative<DisplayInfo>(payload_); }
    const DisplayInfo* displayInfo() const { return std::get_if<DisplayInfo>(&payload_); }
    const ShareableWindow* windowInfo() const { return std::get_if<ShareableWindow>(&payload_); }
    // The rectangle at the time of the snapshot: the display's bounds or the window's frame.
    Rect frame() const;
    CaptureTarget captureTarget() const;

    // The name shown to the tablet: "Main display", "Display <id>", or the window's title cleaned
    // of control characters and cut to 60 characters and 256 bytes, else its application's name,
    // else "Window".
    std::string title(const Desktop& desktop) const;
    // The same source in fresh content; a window only while it is on screen.
    std::optional<StudioCaptureSource> resolve(const ShareableContent& content) const;
    // "display:<id>" or "window:<id>".
    std::string previewKey() const;
    // Activates a window that has an owning application: to the front, with focus; a display or
    // a window without one does nothing.
    void raise(Desktop& desktop) const;

  private:
    explicit StudioCaptureSource(std::variant<DisplayInfo, ShareableWindow> payload)
        : payload_(std::move(payload)) {}

    std::variant<DisplayInfo, ShareableWindow> payload_;
};

}  // namespace quillory
