#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/keyboard/keymap.h"
#include "platform/result/result.h"

struct xcb_connection_t;

namespace quillory {

// The layout in use. Read from any thread under its own lock; refreshed on the main thread when
// the X server reports a new keymap or a switch of the active layout.
class KeyboardLayout {
  public:
    // A layout that never changes; for tests and for machines without an X server.
    explicit KeyboardLayout(std::shared_ptr<const Keymap> keymap);
    // The X server's core keyboard at `display` (nullptr: $DISPLAY); fails when the server or its
    // XKB extension does not answer.
    static Result<std::shared_ptr<KeyboardLayout>, std::string> connect(const char* display);
    ~KeyboardLayout();
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;

    std::shared_ptr<const Keymap> current() const;
    void replace(std::shared_ptr<const Keymap> keymap);

    // The X connection's descriptor to watch for layout changes, or -1 without a server.
    int descriptor() const;
    // Reads the server's pending events and refreshes when the layout changed; true when it did.
    // Leaves no event queued behind the descriptor. Main thread.
    bool dispatchPending();
    // Reads the server's keymap and active layout again. Main thread.
    void refresh();

  private:
    KeyboardLayout() = default;

    mutable std::mutex mutex_;
    std::shared_ptr<const Keymap> keymap_;
    xcb_connection_t* connection_ = nullptr;
    std::int32_t deviceID_ = -1;
    std::uint8_t xkbEventBase_ = 0;
};

}  // namespace quillory
