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
    // The owner sets its function objects on this control, possibly later; the session reads
    // them at each call.
    session_->send = [this](const StudioSignal& signal) {
        if (send) {
            send(signal);
        }
    };
    session_->onMappingChanged = [this](const DesktopInputTarget& target) {
        if (onMappingChanged) {
            onMappingChanged(target);
        }
    };
    session_->onSourceActivated = [this] {
        if (onSourceActivated) {
            onSourceActivated();
        }
    };
    session_->onInputBoundary = [this] {
        if (onInputBoundary) {
            onInputBoundary();
        }
    };
    session_->onChange = [this](MacStudioSession::Published value) { published(value); };
}

StudioSessionControl::~StudioSessionControl() {
    session_->send = nullptr;
    session_->onMappingChanged = nullptr;
    session_->onSourceActivated = nullptr;
    session_->onInputBoundary = nullptr;
    session_->onChange = nullptr;
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
