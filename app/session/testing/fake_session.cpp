#include "app/session/testing/fake_session.h"

#include <algorithm>

#include "app/desktop-control/desktop_input_controller.h"

namespace quillory {

namespace {

QString onOff(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

LinkLatency latencyFrom(const QVariant& value) {
    const QString text = value.toString();
    if (text == QLatin1String("timedOut")) {
        return LinkLatency::timedOut();
    }
    if (text == QLatin1String("unsupported")) {
        return LinkLatency::unsupported();
    }
    bool number = false;
    const double milliseconds = value.toDouble(&number);
    return number ? LinkLatency::measured(milliseconds) : LinkLatency::measuring();
}

}  // namespace

void FakeInput::clearSamples() {
    calls_.append(QStringLiteral("clearSamples"));
    setSamples({});
}

void FakeInput::setRecording(bool recording) {
    calls_.append(QStringLiteral("setRecording:") + onOff(recording));
    setSamples({});
    setPointer(std::nullopt);
    setPressure(0);
}

void FakeInput::setControlDesktop(bool on) {
    if (on != controlDesktop_) {
        controlDesktop_ = on;
        emit controlDesktopChanged();
    }
}

void FakeInput::setPressure(double pressure) {
    if (pressure != pressure_) {
        pressure_ = pressure;
        emit pressureChanged();
    }
}

void FakeInput::setSamples(std::vector<PenSample> samples) {
    if (samples.empty() && samples_.empty()) {
        return;
    }
    samples_ = std::move(samples);
    samplesAppended_ += samples_.size();
    ++sampleGeneration_;
    emit samplesChanged();
}

void FakeInput::appendSamples(const std::vector<PenSample>& batch, std::size_t limit) {
    if (batch.empty()) {
        return;
    }
    samples_.insert(samples_.end(), batch.begin(), batch.end());
    samplesAppended_ += batch.size();
    if (samples_.size() > limit) {
        samples_.erase(samples_.begin(), samples_.end() - static_cast<std::ptrdiff_t>(limit));
    }
    emit samplesChanged();
}

void FakeInput::setPointer(std::optional<PenSample> pointer) {
    if (!pointer && !pointer_) {
        return;
    }
    pointer_ = std::move(pointer);
    emit pointerChanged();
}

namespace {

PenSample sampleFrom(const QVariantMap& map) {
    PenSample sample;
    const std::string phase = map.value(QStringLiteral("phase")).toString().toStdString();
    const auto& names = RawValues<PenSample::Phase>::names;
    const auto found = std::find(names.begin(), names.end(), phase);
    if (found == names.end()) {
        qWarning("FakeInput: no phase %s", phase.c_str());
    } else {
        sample.phase = static_cast<PenSample::Phase>(found - names.begin());
    }
    sample.x = map.value(QStringLiteral("x")).toDouble();
    sample.y = map.value(QStringLiteral("y")).toDouble();
    sample.pressure = map.value(QStringLiteral("pressure")).toDouble();
    return sample;
}

}  // namespace

void FakeInput::append(const QVariantList& samples) {
    std::vector<PenSample> batch;
    for (const QVariant& entry : samples) {
        batch.push_back(sampleFrom(entry.toMap()));
    }
    appendSamples(batch, DesktopInputController::sampleLimit);
}

void FakeInput::point(const QVariant& sample) {
    setPointer(sample.isNull() || !sample.isValid() ? std::nullopt
                                                    : std::optional(sampleFrom(sample.toMap())));
}

void FakeStudio::handle(const StudioSignal& signal) {
    handled_.push_back(signal);
    calls_.append(QStringLiteral("handle"));
}

void FakeStudio::reset(bool keepCatalog) {
    calls_.append(QStringLiteral("reset:") + onOff(keepCatalog));
}

void FakeStudio::stop() {
    calls_.append(QStringLiteral("stop"));
    publishActive(false);
    publishStatus({});
}

void FakeLoginItem::setEnabled(bool enabled) {
    calls_.append(QStringLiteral("setEnabled:") + onOff(enabled));
    publishError(failure_);
    if (failure_.isEmpty()) {
        publishEnabled(enabled);
    }
}

FakeShell::FakeShell(QObject* parent)
    : SessionShell(parent), updates_(new FakeUpdates(this)), loginItem_(new FakeLoginItem(this)) {}

void FakeShell::relaunchApplication() {
    calls_.append(QStringLiteral("relaunchApplication"));
}

void FakeShell::showPermissionGuide(PermissionKind kind) {
    calls_.append(kind == PermissionKind::accessibility
                      ? QStringLiteral("showPermissionGuide:accessibility")
                      : QStringLiteral("showPermissionGuide:screenRecording"));
}

FakeSession::FakeSession(QObject* parent)
    : SessionFacade(new FakeInput, new FakeStudio, new FakeShell, parent),
      fakeInput_(static_cast<FakeInput*>(input())),
      fakeStudio_(static_cast<FakeStudio*>(studio())),
      fakeShell_(static_cast<FakeShell*>(shell())) {}

void FakeSession::start() {
    calls_.append(QStringLiteral("start"));
}

void FakeSession::disconnect() {
    calls_.append(QStringLiteral("disconnect"));
}

bool FakeSession::approvePairing() {
    calls_.append(QStringLiteral("approvePairing"));
    if (approveAnswer_) {
        publishPairingApproved(true);
        publishCanApprove(false);
    }
    return approveAnswer_;
}

void FakeSession::closeUnverified() {
    calls_.append(QStringLiteral("closeUnverified"));
}

bool FakeSession::isCurrent(const QString& deviceKey) const {
    calls_.append(QStringLiteral("isCurrent:") + deviceKey);
    return !deviceKey.isEmpty() && deviceKey == currentDevice_;
}

bool FakeSession::forget(const QString& deviceKey) {
    calls_.append(QStringLiteral("forget:") + deviceKey);
    if (!forgetAnswer_) {
        return false;
    }
    QList<SavedDevice> devices = savedDevices()->devices();
    devices.removeIf([&](const SavedDevice& d) { return d.id == deviceKey; });
    publishSavedDevices(devices);
    return true;
}

void FakeSession::updateInputState() {
    calls_.append(QStringLiteral("updateInputState"));
}

void FakeSession::requestInputAccess() {
    calls_.append(QStringLiteral("requestInputAccess"));
}

void FakeSession::setDesktopControl(bool enabled) {
    calls_.append(QStringLiteral("setDesktopControl:") + onOff(enabled));
    if (!activePeer().isEmpty()) {
        setDesktopControlEnabled(activePeer(), enabled);
    }
}

bool FakeSession::isDesktopControlEnabled(const QString& deviceKey) const {
    return desktopControl_.contains(deviceKey);
}

void FakeSession::setDesktopControlEnabled(const QString& key, bool on) {
    if (on) {
        desktopControl_.insert(key);
    } else {
        desktopControl_.remove(key);
    }
}

void FakeSession::setPencilTestActive(bool active) {
    calls_.append(QStringLiteral("setPencilTestActive:") + onOff(active));
    publishPencilTestActive(active);
}

QSize FakeSession::mainDisplayPixelSize() const {
    return mainDisplay_;
}

void FakeSession::set(const QVariantMap& values) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString& key = it.key();
        const QVariant& value = it.value();
        if (key == QLatin1String("connectionState")) {
            if (const auto state = connectionStateFromRawValue(value.toString())) {
                publishConnectionState(*state);
            } else {
                qWarning("FakeSession.set: no state %s", qPrintable(value.toString()));
            }
        } else if (key == QLatin1String("connected")) {
            publishConnected(value.toBool());
        } else if (key == QLatin1String("listening")) {
            publishListening(value.toBool());
        } else if (key == QLatin1String("recovering")) {
            publishRecovering(value.toBool());
        } else if (key == QLatin1String("status")) {
            setStatus(value.toString());
        } else if (key == QLatin1String("pairingCode")) {
            publishPairingCode(value.toString());
        } else if (key == QLatin1String("pairingApproved")) {
            publishPairingApproved(value.toBool());
        } else if (key == QLatin1String("peerApproved")) {
            publishPeerApproved(value.toBool());
        } else if (key == QLatin1String("peerName")) {
            publishPeerName(value.toString());
        } else if (key == QLatin1String("latency")) {
            publishLatency(latencyFrom(value));
        } else if (key == QLatin1String("activePeer")) {
            publishActivePeer(value.toString());
        } else if (key == QLatin1String("pencilTestActive")) {
            publishPencilTestActive(value.toBool());
        } else if (key == QLatin1String("failureMessage")) {
            publishFailureMessage(value.toString());
        } else if (key == QLatin1String("canApprove")) {
            publishCanApprove(value.toBool());
        } else if (key == QLatin1String("savedDevices")) {
            QList<SavedDevice> devices;
            for (const QVariant& entry : value.toList()) {
                const QVariantMap device = entry.toMap();
                devices.append({device.value(QStringLiteral("id")).toString(),
                                device.value(QStringLiteral("name")).toString()});
            }
            publishSavedDevices(devices);
        } else {
            qWarning("FakeSession.set: no property %s", qPrintable(key));
        }
    }
}

void FakeUpdates::set(const QVariantMap& values) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it.key() == QLatin1String("available")) {
            publishAvailable(it.value().toBool());
        } else if (it.key() == QLatin1String("canCheck")) {
            publishCanCheck(it.value().toBool());
        } else if (it.key() == QLatin1String("pendingVersion")) {
            publishPendingVersion(it.value().toString());
        } else if (it.key() == QLatin1String("automaticChecks")) {
            publishAutomaticChecks(it.value().toBool());
        } else if (it.key() == QLatin1String("automaticInstalls")) {
            publishAutomaticInstalls(it.value().toBool());
        } else {
            qWarning("FakeUpdates.set: no property %s", qPrintable(it.key()));
        }
    }
}

void FakeLoginItem::set(const QVariantMap& values) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it.key() == QLatin1String("enabled")) {
            publishEnabled(it.value().toBool());
        } else if (it.key() == QLatin1String("needsApproval")) {
            publishNeedsApproval(it.value().toBool());
        } else if (it.key() == QLatin1String("failure")) {
            failure_ = it.value().toString();
        } else {
            qWarning("FakeLoginItem.set: no property %s", qPrintable(it.key()));
        }
    }
}

}  // namespace quillory
