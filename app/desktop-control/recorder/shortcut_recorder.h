#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "app/desktop-control/recorder/recorder_core.h"
#include "app/desktop-control/recorder/recorder_key_reader.h"
#include "platform/desktop/desktop.h"
#include "platform/dispatch/timer.h"

class QQmlEngine;

namespace quillory {

class KeyboardLayout;
class RecorderModel;
class RecorderPanel;

// Records one key chord for the tablet in a floating panel. While it records, the panel holds the
// keyboard grab, so that a chord never reaches the application in front when the window manager
// keeps the focus from the panel. Main thread only.
class ShortcutRecorder final : public QObject, private RecorderSurface {
    Q_OBJECT

  public:
    using Finish = RecorderCore::Finish;

    struct Environment {
        std::shared_ptr<Executor> executor;
        std::shared_ptr<Desktop> desktop;
        std::shared_ptr<KeyboardLayout> layout;  // may be none: then only named keys record
        QQmlEngine* engine = nullptr;            // imports QuilloryRecorder
    };

    explicit ShortcutRecorder(Environment environment, QObject* parent = nullptr);
    ~ShortcutRecorder() override;

    // Ends any recording without calling its callback, then records for `appName`.
    void start(const QString& appName, const QImage& icon, Finish finish);
    // Ends any recording; with `notify` its callback gets none.
    void stop(bool notify);

    RecorderModel* model() const { return model_; }
    RecorderPanel* panel() const { return panel_; }

  public slots:
    void cancel();
    void clear();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void open() override;
    void close() override;
    void beep() override;
    void stateChanged(const RecorderState& state) override;
    void handle(const QKeyEvent& event);
    // Until the panel is on screen and no other client holds the keyboard, tried again shortly.
    void grabKeyboard();

    Environment environment_;
    RecorderModel* model_;
    QPointer<RecorderPanel> panel_;
    std::optional<ApplicationInfo> previous_;
    RecorderKeyReader reader_;
    Timer focusCheck_;
    QTimer grabRetry_;
    int grabAttempts_ = 0;
    bool keyboardGrabbed_ = false;
    std::shared_ptr<RecorderCore> core_;
};

}  // namespace quillory
