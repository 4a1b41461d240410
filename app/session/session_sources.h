#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/crypto/crypto.h"
#include "platform/desktop/desktop.h"

namespace quillory {

// The system's sleep and login-session events. Callbacks arrive on the main thread; an
// implementation that cannot reach its source never calls them.
class LoginEvents {
  public:
    virtual ~LoginEvents() = default;

    // Whether the user's login session is the active one now; none when unknown.
    virtual std::optional<bool> sessionActive() const { return std::nullopt; }

    // true: the computer is about to sleep; false: it woke up.
    std::function<void(bool sleeping)> onSleep;
    // The user's login session became the active one, or stopped being it.
    std::function<void(bool active)> onSessionActive;
    // The computer is about to power off or restart.
    std::function<void()> onShutdown;
};

// Reports that another application may have come to the front. Main thread.
class ForegroundEvents {
  public:
    virtual ~ForegroundEvents() = default;

    std::function<void()> onChange;
};

// An application's icon: taken on the main thread, drawn as a 64×64 PNG off it.
class ApplicationIcons {
  public:
    using Render = std::function<std::optional<Bytes>()>;

    virtual ~ApplicationIcons() = default;
    // Main thread. The work that draws the application's icon, safe to run on any thread; empty
    // when the application has no icon.
    virtual Render renderer(const ApplicationInfo& application) = 0;
    // Main thread. The icon image; null when there is none.
    virtual QImage image(const ApplicationInfo& application) = 0;
};

}  // namespace quillory
