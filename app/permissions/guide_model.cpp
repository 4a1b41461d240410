#include "app/permissions/guide_model.h"

namespace quillory {

void GuideModel::reset(Kind kind) {
    kind_ = kind;
    done_ = false;
    manual_ = false;
    manualCommands_.clear();
    relaunchOffered_ = false;
    emit changed();
}

void GuideModel::setDone() {
    if (done_) {
        return;
    }
    done_ = true;
    // The confirmation replaces the manual steps: access is on after all.
    manual_ = false;
    emit changed();
}

void GuideModel::setManual(const QString& commands) {
    if (manual_ && manualCommands_ == commands) {
        return;
    }
    manual_ = true;
    manualCommands_ = commands;
    emit changed();
}

void GuideModel::setRelaunchOffered() {
    if (relaunchOffered_) {
        return;
    }
    relaunchOffered_ = true;
    emit changed();
}

void GuideModel::close() {
    emit closeRequested();
}

void GuideModel::relaunch() {
    emit relaunchRequested();
}

}  // namespace quillory
