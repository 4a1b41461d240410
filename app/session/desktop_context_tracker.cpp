#include "app/session/desktop_context_tracker.h"

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/text/text_units.h"
#include "protocol/image_rules.h"
#include "protocol/text_rules.h"

namespace quillory {

DesktopContextTracker::DesktopContextTracker(Environment environment, DesktopInputController& input)
    : env_(std::move(environment)),
      input_(input),
      iconQueue_(std::make_unique<SerialQueue>("app.quillory.session.icons")) {}

DesktopContextTracker::~DesktopContextTracker() {
    cancelArtwork();
    // Icon renders still queued hold the tracker weakly; they end here.
    iconQueue_.reset();
}

DesktopContextTracker::Described DesktopContextTracker::describeApplication(
    const std::optional<ApplicationInfo>& front) {
    Described described;
    if (front) {
        described.applicationID = cleanedText(leadingCharacters(front->identifier, 128), 128);
        described.name = cleanedText(leadingCharacters(front->name, 64), 256);
    }
    if (described.applicationID.empty()) {
        described.applicationID = "desktop";
    }
    if (described.name.empty()) {
        described.name = "Desktop";
    }
    return described;
}

std::optional<ApplicationInfo> DesktopContextTracker::frontmost() const {
    QUILLORY_CHECK_MAIN_THREAD();
    return env_.desktop ? env_.desktop->frontmostApplication() : std::nullopt;
}

std::optional<ApplicationInfo> DesktopContextTracker::servedApplication() const {
    QUILLORY_CHECK_MAIN_THREAD();
    auto front = frontmost();
    if (!front || front->processID != env_.ownProcessID) {
        return front;
    }
    if (contextApplication_ && context_ &&
        describeApplication(contextApplication_).applicationID == context_->applicationID) {
        return contextApplication_;
    }
    return std::nullopt;
}

void DesktopContextTracker::reset() {
    QUILLORY_CHECK_MAIN_THREAD();
    context_.reset();
    contextPID_.reset();
    contextApplication_.reset();
    cancelArtwork();
}

void DesktopContextTracker::refresh(bool force) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!env_.connected()) {
        context_.reset();
        cancelArtwork();
        return;
    }
    auto front = frontmost();
    if (front && front->processID == env_.ownProcessID) {
        // Our own windows keep the tablet on the application it had; a tablet that has none yet
        // (it connected while one of ours was in front) gets the desktop, or it could not act.
        if (context_) {
            return;
        }
        front.reset();
    }
    const Described described = describeApplication(front);
    const bool inputEnabled = input_.controlDesktop();
    std::optional<std::int32_t> pid;
    if (front) {
        pid = front->processID;
    }
    if (!force && context_ && context_->applicationID == described.applicationID &&
        context_->inputEnabled == inputEnabled && contextPID_ == pid) {
        return;
    }
    std::optional<Bytes> icon;
    if (context_ && context_->applicationID == described.applicationID) {
        icon = context_->iconPNG;
    }
    DesktopContext context;
    context.id = Uuid::random();
    context.platform = DesktopContext::Platform::windows;
    context.applicationID = described.applicationID;
    context.name = described.name;
    context.inputEnabled = inputEnabled;
    context.iconPNG = icon;
    context_ = context;
    contextPID_ = pid;
    contextApplication_ = front;
    input_.setForeground(pid, context.id);
    if (auto channel = env_.channel()) {
        channel->send(context);
    }
    cancelArtwork();
    if (!icon && front) {
        renderIcon(*front, context);
    }
}

void DesktopContextTracker::cancelArtwork() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (contextArtwork_) {
        *contextArtwork_ = true;
        contextArtwork_.reset();
    }
}

void DesktopContextTracker::renderIcon(const ApplicationInfo& front,
                                       const DesktopContext& context) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!env_.icons) {
        return;
    }
    auto render = env_.icons->renderer(front);
    if (!render) {
        return;
    }
    auto cancelled = std::make_shared<bool>(false);
    contextArtwork_ = cancelled;
    std::weak_ptr<DesktopContextTracker> weak = weak_from_this();
    iconQueue_->async([weak, render, cancelled, context] {
        auto png = render();
        MainQueue::post([weak, cancelled, context, png = std::move(png)] {
            auto self = weak.lock();
            if (*cancelled || !self || !self->env_.connected() || !self->context_ ||
                self->context_->id != context.id || !png || !isValidIconPNG(*png)) {
                return;
            }
            if (self->contextArtwork_ == cancelled) {
                self->contextArtwork_.reset();
            }
            self->context_->iconPNG = png;
            if (auto channel = self->env_.channel()) {
                channel->send(*self->context_);
            }
        });
    });
}

}  // namespace quillory
