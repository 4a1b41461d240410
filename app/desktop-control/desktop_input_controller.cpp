#include "app/desktop-control/desktop_input_controller.h"

#include "platform/dispatch/main_queue.h"
#include "platform/log/logger.h"

namespace quillory {

DesktopInputController::DesktopInputController(DesktopInputEnvironment environment, QObject* parent)
    : QObject(parent),
      layout_(environment.layout),
      rootArea_(environment.rootArea),
      desktop_(environment.desktop),
      openBackend_(environment.openBackend),
      backend_(environment.backend),
      presentation_(environment.clock),
      worker_(DesktopInputWorker::create(std::move(environment))) {
    connect(&presentation_, &PresentationTimer::timeout, this,
            &DesktopInputController::presentationTick);
    if (rootArea_) {
        rootNotifier_ =
            std::make_unique<QSocketNotifier>(rootArea_->fileDescriptor(), QSocketNotifier::Read);
        connect(rootNotifier_.get(), &QSocketNotifier::activated, this,
                &DesktopInputController::followRootArea);
    }
}

DesktopInputController::~DesktopInputController() {
    presentation_.stop();
    worker_->shutdown();
}

void DesktopInputController::setControlDesktop(bool on) {
    if (on == controlDesktop_) {
        return;
    }
    controlDesktop_ = on;
    worker_->configure([&] { worker_->setEnabled(on); });
    emit controlDesktopChanged(on);
}

void DesktopInputController::setTarget(const DesktopInputTarget& target) {
    worker_->configure([&] { worker_->setTarget(target); });
    hideIndicator();
}

void DesktopInputController::setForeground(std::optional<std::int32_t> processID,
                                           std::optional<Uuid> contextID) {
    worker_->configure([&] { worker_->setForeground(processID, contextID); });
}

Uuid DesktopInputController::beginPresentation() {
    const Uuid connection = Uuid::random();
    worker_->attach(connection);
    setControlDesktop(false);
    presentationConnection_ = connection;
    idleTakes_ = 0;
    if (!presentation_.isActive()) {
        presentation_.start();
    }
    return connection;
}

void DesktopInputController::disconnect(const Uuid& connection) {
    worker_->detach(connection);
    std::weak_ptr<int> alive = lifetime_;
    MainQueue::post([this, alive, connection] {
        if (!alive.lock() || presentationConnection_ != connection) {
            return;
        }
        presentationConnection_.reset();
        presentation_.stop();
        hideIndicator();
    });
}

void DesktopInputController::reset() {
    setControlDesktop(false);
    worker_->configure([] {});
    hideIndicator();
    pointer_.reset();
    emit pointerChanged();
    if (pressure_ != 0) {
        pressure_ = 0;
        emit pressureChanged(0);
    }
}

void DesktopInputController::setRecording(bool recording) {
    recording_ = recording;
    worker_->setRecording(recording);
    samples_.clear();
    ++sampleGeneration_;
    pointer_.reset();
    pressure_ = 0;
    emit samplesChanged();
    emit pointerChanged();
    emit pressureChanged(0);
}

void DesktopInputController::clearSamples() {
    worker_->clearHistory();
    samples_.clear();
    ++sampleGeneration_;
    emit samplesChanged();
}

void DesktopInputController::presentationTick() {
    auto snapshot = worker_->takePresentation();
    if (!snapshot) {
        if (++idleTakes_ >= idleTakesBeforeParking && presentation_.isActive() &&
            worker_->parkPresentation([this, alive = std::weak_ptr<int>(lifetime_)] {
                MainQueue::post([this, alive] {
                    if (alive.lock() && presentationConnection_ && !presentation_.isActive()) {
                        idleTakes_ = 0;
                        presentation_.start();
                        presentationTick();
                    }
                });
            })) {
            presentation_.stop();
        }
        return;
    }
    idleTakes_ = 0;
    if (snapshot->indicator) {
        indicator_.show(snapshot->position);
    } else {
        hideIndicator();
    }
    if (!recording_) {
        return;
    }
    pointer_ = snapshot->sample;
    emit pointerChanged();
    if (pressure_ != snapshot->pressure) {
        pressure_ = snapshot->pressure;
        emit pressureChanged(pressure_);
    }
    if (!snapshot->history.empty()) {
        samples_.insert(samples_.end(), snapshot->history.begin(), snapshot->history.end());
        samplesAppended_ += snapshot->history.size();
        if (samples_.size() > sampleLimit) {
            samples_.erase(samples_.begin(), samples_.end() - sampleLimit);
        }
        emit samplesChanged();
    }
}

void DesktopInputController::observeInputSourceChanges() {
    if (layoutNotifier_ || !layout_ || layout_->descriptor() < 0) {
        return;
    }
    layout_->refresh();
    layoutNotifier_ =
        std::make_unique<QSocketNotifier>(layout_->descriptor(), QSocketNotifier::Read);
    connect(layoutNotifier_.get(), &QSocketNotifier::activated, this,
            [this] { layout_->dispatchPending(); });
}

void DesktopInputController::followRootArea() {
    if (const auto area = rootArea_ ? rootArea_->readChanges().area : std::nullopt) {
        // The barrier lifts everything before the pen is made again.
        worker_->configure([&] { worker_->setRootArea(*area); });
    }
}

const InputBackendStatus& DesktopInputController::reopenInputBackend() {
    const Logger logger("app.quillory.connection", "input");
    if (!openBackend_) {
        return backend_;
    }
    Rect root;
    if (rootArea_) {
        root = rootArea_->area();
    } else if (const auto main = desktop_ ? desktop_->mainDisplay() : std::nullopt) {
        root = main->bounds;
    }
    InputBackend opened = openBackend_(root);
    if (opened.status.kind != InputBackendKind::uinput) {
        logger.info("Input stays on %s: reopening gave %s (%s)", displayName(backend_.kind),
                    displayName(opened.status.kind), opened.status.reason.c_str());
        return backend_;
    }
    worker_->configure([&] { worker_->setSink(std::move(opened.sink)); });
    backend_ = std::move(opened.status);
    logger.info("Input moved to %s", displayName(backend_.kind));
    return backend_;
}

void DesktopInputController::hideIndicator() {
    indicator_.cancelDismissal();
    indicator_.hide();
}

}  // namespace quillory
