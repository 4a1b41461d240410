#include "app/studio/studio_session_control.h"

namespace quillory {

namespace {

QString text(const std::optional<std::string>& value) {
    return value ? QString::fromStdString(*value) : QString();
}

}  // namespace

StudioSessionControl::StudioSessionControl(std::shared_ptr<MacStudioSession> session,
                                           QObject* parent)
    : StudioControl(parent), session_(std::move(session)) {
    session_->onChange = [this](MacStudioSession::Published value) { published(value); };
}

StudioSessionControl::~StudioSessionControl() {
    // The owner goes with its control.
    session_->setHooks({});
    session_->onChange = nullptr;
}

void StudioSessionControl::setHooks(StudioHooks hooks) {
    session_->setHooks(std::move(hooks));
}

void StudioSessionControl::handle(const StudioSignal& signal) {
    session_->handle(signal);
}

void StudioSessionControl::reset(bool keepCatalog) {
    session_->reset(keepCatalog);
}

void StudioSessionControl::stop() {
    session_->stop();
}

void StudioSessionControl::published(MacStudioSession::Published value) {
    switch (value) {
        case MacStudioSession::Published::status:
            publishStatus(text(session_->status()));
            break;
        case MacStudioSession::Published::active:
            publishActive(session_->active());
            break;
        case MacStudioSession::Published::failure:
            publishFailure(text(session_->failure()));
            break;
    }
}

}  // namespace quillory
