#include "app/session/system_presence.h"

#include "platform/dispatch/sequence_checker.h"

namespace quillory {

void SystemPresence::follow(LoginEvents& login, std::function<void(bool up)> changed) {
    QUILLORY_CHECK_MAIN_THREAD();
    changed_ = std::move(changed);
    sessionActive_ = login.sessionActive().value_or(true);
    const std::weak_ptr<SystemPresence> weak = weak_from_this();
    login.onSleep = [weak](bool sleeping) {
        if (auto self = weak.lock()) {
            QUILLORY_CHECK_MAIN_THREAD();
            self->awake_ = !sleeping;
            self->changed_(!sleeping);
        }
    };
    login.onSessionActive = [weak](bool active) {
        if (auto self = weak.lock()) {
            QUILLORY_CHECK_MAIN_THREAD();
            self->sessionActive_ = active;
            self->changed_(active);
        }
    };
    login.onShutdown = [weak] {
        if (auto self = weak.lock()) {
            self->shuttingDown_ = true;
        }
    };
}

}  // namespace quillory
