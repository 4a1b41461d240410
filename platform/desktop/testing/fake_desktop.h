#pragma once

#include <mutex>

#include "platform/desktop/desktop.h"

namespace quillory {

// A desktop that tests arrange by hand.
class FakeDesktop final : public Desktop {
  public:
    FakeDesktop();  // one 1920×1080 primary display, no windows

    std::vector<DisplayInfo> displays() const override;
    std::optional<std::vector<WindowInfo>> windows() const override;
    // The windows set by setShareableWindows, else those of windows(), on screen and untitled.
    std::optional<std::vector<ShareableWindow>> shareableWindows() const override;
    std::optional<ApplicationInfo> frontmostApplication() const override;
    bool raise(std::uint32_t windowID) override;

    void setShareableWindows(std::optional<std::vector<ShareableWindow>> windows);
    // How many times raise() was asked, whatever it answered.
    int raiseCount() const;
    void setDisplays(std::vector<DisplayInfo> displays);
    void setWindows(std::optional<std::vector<WindowInfo>> windows);
    void setFrontmost(std::optional<ApplicationInfo> application);

  private:
    mutable std::mutex mutex_;
    std::vector<DisplayInfo> displays_;
    std::optional<std::vector<WindowInfo>> windows_;
    std::optional<std::vector<ShareableWindow>> shareable_;
    std::optional<ApplicationInfo> frontmost_;
    int raiseCount_ = 0;
};

}  // namespace quillory
