#include "app/session/controls_responder.h"

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory {
namespace {

constexpr std::size_t maxChunkCommands = 120;
constexpr std::size_t maxChunkBytes = 16000;

std::size_t encodedLength(const MenuCommand& command) {
    try {
        return command.toJSON().dump().size();
    } catch (const std::exception&) {
        return 1000;
    }
}

}  // namespace

ControlsResponder::ControlsResponder(Environment environment, DesktopContextTracker& context)
    : env_(std::move(environment)),
      context_(context),
      menuQueue_(std::make_unique<SerialQueue>("app.quillory.session.menus")) {
    if (!env_.recorder) {
        env_.recorder = std::make_unique<CancellingChordRecorder>();
    }
}

ControlsResponder::~ControlsResponder() {
    // Menu reads still queued hold the responder weakly; they end here.
    menuQueue_.reset();
}

void ControlsResponder::handle(const ControlsSignal& signal) {
    QUILLORY_CHECK_MAIN_THREAD();
    switch (signal.kind) {
        case ControlsSignal::Kind::listCommands:
            listCommands(signal);
            break;
        case ControlsSignal::Kind::record:
            record(signal);
            break;
        case ControlsSignal::Kind::cancelRecording:
            if (recordingID_ == signal.id) {
                stopRecording();
            }
            break;
        case ControlsSignal::Kind::commands:
        case ControlsSignal::Kind::recorded:
            break;
    }
}

void ControlsResponder::stopRecording() {
    QUILLORY_CHECK_MAIN_THREAD();
    recordingID_.reset();
    env_.recorder->stop(false);
}

void ControlsResponder::listCommands(const ControlsSignal& signal) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!signal.applicationID) {
        sendControls({}, signal, "desktop");
        return;
    }
    const auto front = context_.servedApplication();
    if (front && !front->identifier.empty() &&
        DesktopContextTracker::describeApplication(front).applicationID == *signal.applicationID) {
        std::weak_ptr<ControlsResponder> weak = weak_from_this();
        const std::int32_t pid = front->processID;
        auto read = env_.readMenuCommands;
        menuQueue_->async([weak, read, pid, signal] {
            auto commands = read ? read(pid) : std::vector<MenuCommand>{};
            MainQueue::post([weak, commands = std::move(commands), signal] {
                if (auto self = weak.lock()) {
                    self->sendControls(commands, signal, *signal.applicationID);
                }
            });
        });
        return;
    }
    sendControls({}, signal, *signal.applicationID);
}

void ControlsResponder::sendControls(const std::vector<MenuCommand>& commands,
                                     const ControlsSignal& request,
                                     const std::string& applicationID) {
    QUILLORY_CHECK_MAIN_THREAD();
    const auto channel = env_.channel();
    if (!channel) {
        return;
    }
    std::vector<std::vector<MenuCommand>> chunks(1);
    std::size_t count = 0;
    for (const MenuCommand& command : commands) {
        const std::size_t length = encodedLength(command);
        if (chunks.back().size() >= maxChunkCommands || count + length > maxChunkBytes) {
            chunks.emplace_back();
            count = 0;
        }
        chunks.back().push_back(command);
        count += length;
    }
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        ControlsSignal answer;
        answer.id = request.id;
        answer.kind = ControlsSignal::Kind::commands;
        answer.applicationID = applicationID;
        answer.commands = std::move(chunks[i]);
        answer.final = i + 1 == chunks.size();
        channel->send(std::move(answer));
    }
}

void ControlsResponder::record(const ControlsSignal& signal) {
    QUILLORY_CHECK_MAIN_THREAD();
    const auto& context = context_.context();
    const std::optional<std::string> described =
        context ? std::optional(context->applicationID) : std::nullopt;
    if (signal.name && signal.applicationID == described) {
        recordingID_ = signal.id;
        const auto front = context_.servedApplication();
        const QImage icon = front && env_.icons ? env_.icons->image(*front) : QImage();
        std::weak_ptr<ControlsResponder> weak = weak_from_this();
        env_.recorder->start(QString::fromStdString(*signal.name), icon,
                             [weak, signal](std::optional<std::vector<DesktopKey>> keys) {
                                 if (auto self = weak.lock()) {
                                     self->finishRecording(keys, signal);
                                 }
                             });
        return;
    }
    if (const auto channel = env_.channel()) {
        ControlsSignal refusal;
        refusal.id = signal.id;
        refusal.kind = ControlsSignal::Kind::cancelRecording;
        channel->send(std::move(refusal));
    }
}

void ControlsResponder::finishRecording(const std::optional<std::vector<DesktopKey>>& keys,
                                        const ControlsSignal& request) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (recordingID_ != request.id) {
        return;
    }
    recordingID_.reset();
    if (const auto channel = env_.channel()) {
        ControlsSignal answer;
        answer.id = request.id;
        if (keys) {
            answer.kind = ControlsSignal::Kind::recorded;
            answer.keys = *keys;
        } else {
            answer.kind = ControlsSignal::Kind::cancelRecording;
        }
        channel->send(std::move(answer));
    }
    context_.refresh(false);
}

}  // namespace quillory
