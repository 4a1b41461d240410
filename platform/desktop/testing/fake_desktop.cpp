#include "platform/desktop/testing/fake_desktop.h"

#include <algorithm>

namespace quillory {

FakeDesktop::FakeDesktop()
    : displays_{{.id = 1, .bounds = {0, 0, 1920, 1080}, .primary = true, .name = "fake"}},
      windows_(std::vector<WindowInfo>{}) {}

std::vector<DisplayInfo> FakeDesktop::displays() const {
    std::lock_guard lock(mutex_);
    return displays_;
}

std::optional<std::vector<WindowInfo>> FakeDesktop::windows() const {
    std::lock_guard lock(mutex_);
    return windows_;
}

std::optional<ApplicationInfo> FakeDesktop::frontmostApplication() const {
    std::lock_guard lock(mutex_);
    return frontmost_;
}

std::optional<std::vector<ShareableWindow>> FakeDesktop::shareableWindows() const {
    std::lock_guard lock(mutex_);
    if (shareable_ || !windows_) {
        return shareable_;
    }
    std::vector<ShareableWindow> result;
    for (const auto& window : *windows_) {
        result.push_back({.info = window, .onScreen = true});
    }
    return result;
}

void FakeDesktop::setShareableWindows(std::optional<std::vector<ShareableWindow>> windows) {
    std::lock_guard lock(mutex_);
    shareable_ = std::move(windows);
}

int FakeDesktop::raiseCount() const {
    std::lock_guard lock(mutex_);
    return raiseCount_;
}

bool FakeDesktop::raise(std::uint32_t windowID) {
    std::lock_guard lock(mutex_);
    ++raiseCount_;
    if (!windows_) {
        return false;
    }
    auto found = std::find_if(windows_->begin(), windows_->end(),
                              [&](const auto& window) { return window.id == windowID; });
    if (found == windows_->end()) {
        return false;
    }
    std::rotate(windows_->begin(), found, found + 1);
    return true;
}

void FakeDesktop::setDisplays(std::vector<DisplayInfo> displays) {
    std::lock_guard lock(mutex_);
    displays_ = std::move(displays);
}

void FakeDesktop::setWindows(std::optional<std::vector<WindowInfo>> windows) {
    std::lock_guard lock(mutex_);
    windows_ = std::move(windows);
}

void FakeDesktop::setFrontmost(std::optional<ApplicationInfo> application) {
    std::lock_guard lock(mutex_);
    frontmost_ = std::move(application);
}

}  // namespace quillory
