#include "app/interface/permission_rows_model.h"

#include <memory>

#include "platform/input/desktop_control_access.h"

namespace quillory {

namespace {

PermissionRowsModel::Probes systemProbes() {
    auto access = std::make_shared<DesktopControlAccess>();
    return {[access] { return access->isGranted(); },
            [] { return true; }};  // X11 has no screen-sharing permission
}

}  // namespace

PermissionRowsModel::PermissionRowsModel(QObject* parent)
    : PermissionRowsModel(systemProbes(), parent) {}

PermissionRowsModel::PermissionRowsModel(Probes probes, QObject* parent)
    : QObject(parent), probes_(std::move(probes)) {
    poll_.setInterval(pollIntervalMs);
    connect(&poll_, &QTimer::timeout, this, &PermissionRowsModel::refresh);
    connect(this, &PermissionRowsModel::accessibilityChanged, this,
            &PermissionRowsModel::rowsChanged);
    connect(this, &PermissionRowsModel::screenRecordingChanged, this,
            &PermissionRowsModel::rowsChanged);
    connect(this, &PermissionRowsModel::showGrantedChanged, this,
            &PermissionRowsModel::rowsChanged);
    accessibility_ = probes_.accessibility();
    screenRecording_ = probes_.screenRecording();
}

void PermissionRowsModel::setProbes(Probes probes) {
    probes_ = std::move(probes);
    refresh();
    emit rowsChanged();
}

void PermissionRowsModel::setSession(SessionFacade* session) {
    if (session != session_) {
        session_ = session;
        emit sessionChanged();
        emit rowsChanged();  // the grant at launch comes from the session's shell
    }
}

void PermissionRowsModel::setActive(bool active) {
    if (active == active_) {
        return;
    }
    active_ = active;
    refresh();
    if (active_) {
        poll_.start();
    } else {
        poll_.stop();
    }
    emit activeChanged();
}

void PermissionRowsModel::setShowGranted(bool show) {
    if (show != showGranted_) {
        showGranted_ = show;
        emit showGrantedChanged();
    }
}

bool PermissionRowsModel::needsRelaunch() const {
    const bool atLaunch = session_ ? session_->shell()->screenCaptureAllowedAtLaunch() : true;
    return screenRecording_ && probes_.screenRecording() && !atLaunch;
}

bool PermissionRowsModel::cardVisible() const {
    return showGranted_ || !accessibility_ || !screenRecording_ || needsRelaunch();
}

void PermissionRowsModel::refresh() {
    // Both answers first, then the writes.
    const bool accessibility = probes_.accessibility();
    const bool screenRecording = probes_.screenRecording();
    if (accessibility != accessibility_) {
        accessibility_ = accessibility;
        emit accessibilityChanged();
    }
    if (screenRecording != screenRecording_) {
        screenRecording_ = screenRecording;
        emit screenRecordingChanged();
    }
}

void PermissionRowsModel::allowAccessibility() {
    if (session_) {
        session_->requestInputAccess();
    }
}

void PermissionRowsModel::allowScreenRecording() {
    if (session_ && !probes_.screenRecording()) {
        session_->shell()->showPermissionGuide(SessionShell::PermissionKind::screenRecording);
    }
}

void PermissionRowsModel::reopen() {
    if (session_) {
        session_->shell()->relaunchApplication();
    }
}

}  // namespace quillory
