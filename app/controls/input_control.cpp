#include "app/controls/input_control.h"

#include <QVariantMap>

#include "app/desktop-control/desktop_input_controller.h"

namespace quillory {

QVariant InputControl::pointerValue() const {
    const auto sample = pointer();
    if (!sample) {
        return {};
    }
    return QVariantMap{{QStringLiteral("x"), sample->x},
                       {QStringLiteral("y"), sample->y},
                       {QStringLiteral("pressure"), sample->pressure},
                       {QStringLiteral("phase"), static_cast<int>(sample->phase)}};
}

DesktopInputControl::DesktopInputControl(DesktopInputController* controller, QObject* parent)
    : InputControl(parent), controller_(controller) {
    connect(controller_, &DesktopInputController::controlDesktopChanged, this,
            &InputControl::controlDesktopChanged);
    connect(controller_, &DesktopInputController::pressureChanged, this,
            &InputControl::pressureChanged);
    connect(controller_, &DesktopInputController::samplesChanged, this,
            &InputControl::samplesChanged);
    connect(controller_, &DesktopInputController::pointerChanged, this,
            &InputControl::pointerChanged);
}

bool DesktopInputControl::controlDesktop() const {
    return controller_->controlDesktop();
}

double DesktopInputControl::pressure() const {
    return controller_->pressure();
}

const std::vector<PenSample>& DesktopInputControl::samples() const {
    return controller_->samples();
}

std::uint64_t DesktopInputControl::samplesAppended() const {
    return controller_->samplesAppended();
}

std::uint64_t DesktopInputControl::sampleGeneration() const {
    return controller_->sampleGeneration();
}

std::optional<PenSample> DesktopInputControl::pointer() const {
    return controller_->pointer();
}

void DesktopInputControl::clearSamples() {
    controller_->clearSamples();
}

void DesktopInputControl::setRecording(bool recording) {
    controller_->setRecording(recording);
}

}  // namespace quillory
