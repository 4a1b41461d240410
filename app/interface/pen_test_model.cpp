#include "app/interface/pen_test_model.h"

#include <QKeySequence>
#include <algorithm>

#include "app/interface/ink/ink_geometry.h"
#include "platform/text/text_units.h"

namespace quillory {

PenTestModel::PenTestModel(QObject* parent) : QObject(parent) {}

QSizeF PenTestModel::canvasBox(QSize mainDisplay, QSizeF available) {
    const double aspect = mainDisplay.isValid() && !mainDisplay.isEmpty()
                              ? static_cast<double>(mainDisplay.width()) / mainDisplay.height()
                              : fallbackAspect;
    double width = canvasWidth;
    if (available.height() > 0) {
        width = std::min(width, std::max(0.0, available.height() - chromeHeight) * aspect);
    }
    if (available.width() > 0) {
        width = std::min(width, std::max(0.0, available.width() - chromeWidth));
    }
    return {width, width / aspect};
}

void PenTestModel::setSession(SessionFacade* session) {
    if (session == session_) {
        return;
    }
    if (session_) {
        disconnect(session_->input(), nullptr, this, nullptr);
    }
    session_ = session;
    if (session_) {
        InputControl* input = session_->input();
        connect(input, &InputControl::samplesChanged, this, &PenTestModel::refreshInk);
        connect(input, &InputControl::pressureChanged, this, &PenTestModel::pressureChanged);
    }
    emit sessionChanged();
    emit pressureChanged();
    emit canvasSizeChanged();
    refreshInk();
}

void PenTestModel::refreshInk() {
    const bool ink = session_ && InkGeometry::hasInk(session_->input()->samples());
    if (ink != hasInk_) {
        hasInk_ = ink;
        emit hasInkChanged();
    }
}

void PenTestModel::setGrid(bool grid) {
    if (grid != grid_) {
        grid_ = grid;
        emit gridChanged();
    }
}

double PenTestModel::pressure() const {
    return session_ ? session_->input()->pressure() : 0;
}

double PenTestModel::pressureFraction() const {
    return std::clamp(pressure(), 0.0, 1.0);
}

QString PenTestModel::pressureText() const {
    const int percent = qRound(pressureFraction() * 100);
    const std::string placed = percentText(percent, locale_.name().toStdString());
    return placed.empty() ? tr("%1%").arg(locale_.toString(percent))
                          : QString::fromStdString(placed);
}

QString PenTestModel::clearToolTip() const {
    return tr("Clear (%1)")
        .arg(QKeySequence(QString::fromLatin1(clearShortcut)).toString(QKeySequence::NativeText));
}

void PenTestModel::setAvailable(QSizeF available) {
    if (available != available_) {
        available_ = available;
        emit canvasSizeChanged();
    }
}

QSizeF PenTestModel::canvasSize() const {
    return canvasBox(session_ ? session_->mainDisplayPixelSize() : QSize(), available_);
}

void PenTestModel::clear() {
    if (session_) {
        session_->input()->clearSamples();
    }
}

void PenTestModel::returnToDesktop() {
    if (session_) {
        session_->setDesktopControl(true);
    }
    emit closeRequested();
}

}  // namespace quillory
