#include "app/desktop-control/recorder/shortcut_recorder.h"

#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QQuickItem>

#include "app/desktop-control/recorder/recorder_model.h"
#include "app/desktop-control/recorder/recorder_panel.h"
#include "platform/dispatch/main_queue.h"
#include "platform/keyboard/keyboard_layout.h"

namespace quillory {

namespace {

// How long the window manager gets to hand the panel the focus before the panel asks for
// attention instead.
constexpr double focusGraceSeconds = 0.5;
// The keyboard grab is tried this often until the panel is mapped, for about two seconds.
constexpr int grabRetryMs = 20;
constexpr int grabAttemptLimit = 100;

}  // namespace

ShortcutRecorder::ShortcutRecorder(Environment environment, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      model_(new RecorderModel(this)),
      core_(std::make_shared<RecorderCore>(environment_.executor,
                                           static_cast<RecorderSurface&>(*this))) {
    grabRetry_.setInterval(grabRetryMs);
    grabRetry_.setSingleShot(true);
    connect(&grabRetry_, &QTimer::timeout, this, &ShortcutRecorder::grabKeyboard);
}

ShortcutRecorder::~ShortcutRecorder() {
    // Not left for later: the engine its view belongs to may go right after the recorder.
    const QPointer<RecorderPanel> panel = panel_;
    core_->stop(false);
    core_.reset();
    delete panel.data();
}

void ShortcutRecorder::start(const QString& appName, const QImage& icon, Finish finish) {
    core_->stop(false);
    model_->setAppName(appName);
    model_->setIcon(icon);
    core_->start(std::move(finish));
}

void ShortcutRecorder::stop(bool notify) {
    core_->stop(notify);
}

void ShortcutRecorder::cancel() {
    core_->stop(true);
}

void ShortcutRecorder::clear() {
    core_->reset();
}

void ShortcutRecorder::open() {
    previous_ = environment_.desktop ? environment_.desktop->frontmostApplication() : std::nullopt;
    // Keys released while no recording watched must not count as held in this one.
    reader_.reset();

    auto* panel = new RecorderPanel(environment_.engine, model_);
    if (QQuickItem* card = panel->card()) {
        connect(card, SIGNAL(cancelRequested()), this, SLOT(cancel()));
        connect(card, SIGNAL(clearRequested()), this, SLOT(clear()));
    }
    panel_ = panel;
    panel->place();
    panel->show();
    panel->raise();
    panel->requestActivate();
    grabAttempts_ = 0;
    grabKeyboard();
    focusCheck_ = environment_.executor->after(focusGraceSeconds, [this, panel = QPointer(panel)] {
        if (panel && panel->isVisible() && !panel->isActive() && !keyboardGrabbed_) {
            panel->alert(0);
        }
    });
    qApp->installEventFilter(this);
}

void ShortcutRecorder::grabKeyboard() {
    if (!panel_ || keyboardGrabbed_) {
        return;
    }
    keyboardGrabbed_ = panel_->isExposed() && panel_->setKeyboardGrabEnabled(true);
    if (!keyboardGrabbed_ && ++grabAttempts_ < grabAttemptLimit) {
        grabRetry_.start();
    }
}

void ShortcutRecorder::close() {
    qApp->removeEventFilter(this);
    focusCheck_.cancel();
    grabRetry_.stop();
    const bool wasShowing = panel_ != nullptr;
    if (std::exchange(keyboardGrabbed_, false) && panel_) {
        panel_->setKeyboardGrabEnabled(false);
    }
    if (panel_) {
        // Possibly inside the panel's own key event: destroyed once that is over.
        panel_->hide();
        panel_->deleteLater();
        panel_ = nullptr;
    }
    const auto previous = std::exchange(previous_, std::nullopt);
    if (wasShowing && previous && previous->processID != getpid() && environment_.desktop) {
        environment_.desktop->raise(previous->windowID);
    }
}

void ShortcutRecorder::beep() {
    QApplication::beep();
}

void ShortcutRecorder::stateChanged(const RecorderState& state) {
    model_->setState(state);
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (!panel_ || (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
                    type != QEvent::ShortcutOverride)) {
        return false;
    }
    if (watched != panel_ && QGuiApplication::focusWindow() != panel_) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // Claimed, so no shortcut of the application fires; the key press follows.
        event->accept();
        return true;
    }
    handle(static_cast<const QKeyEvent&>(*event));
    return true;
}

void ShortcutRecorder::handle(const QKeyEvent& event) {
    const RecorderKeyEvent read = reader_.read(event);
    switch (read.kind) {
        case RecorderKeyEvent::Kind::keyDown: {
            const auto keymap = environment_.layout ? environment_.layout->current() : nullptr;
            core_->keyDown(read.evdevCode, read.isRepeat, read.held, keymap.get());
            break;
        }
        case RecorderKeyEvent::Kind::refused:
            core_->keyRefused(read.isRepeat);
            break;
        case RecorderKeyEvent::Kind::modifiersChanged:
            core_->modifiersChanged(read.held);
            break;
        case RecorderKeyEvent::Kind::none:
            break;
    }
}

}  // namespace quillory
