#pragma once

#include <functional>
#include <memory>

#include "app/session/session_sources.h"

namespace quillory {

// Whether the session may run: the computer is awake and the user's login session is the active
// one; and whether the system is powering off. Follows the login events. Main thread. Made
// shared: the events hold it weakly.
class SystemPresence : public std::enable_shared_from_this<SystemPresence> {
  public:
    // `changed` gets true when the computer woke or the login session became the active one,
    // false when the computer is going to sleep or the login session stopped being the active one.
    void follow(LoginEvents& login, std::function<void(bool up)> changed);

    bool awake() const { return awake_; }
    bool sessionActive() const { return sessionActive_; }
    bool shuttingDown() const { return shuttingDown_; }

  private:
    std::function<void(bool up)> changed_;
    bool sessionActive_ = true;
    bool awake_ = true;
    bool shuttingDown_ = false;
};

}  // namespace quillory
