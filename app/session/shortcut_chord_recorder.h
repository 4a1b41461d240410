#pragma once

#include <memory>

// The recorder header uses its panel type inline.
#include "app/desktop-control/recorder/recorder_panel.h"
#include "app/desktop-control/recorder/shortcut_recorder.h"
#include "app/session/chord_recorder.h"

namespace quillory {

// The recorder panel as the session's chord recorder; the application makes it with its QML
// engine and hands it to the session in place of the cancelling stand-in.
class ShortcutChordRecorder final : public ChordRecorder {
  public:
    explicit ShortcutChordRecorder(std::unique_ptr<ShortcutRecorder> recorder)
        : recorder_(std::move(recorder)) {}

    void start(const QString& appName, const QImage& icon, Finish finish) override {
        recorder_->start(appName, icon, std::move(finish));
    }
    void stop(bool notify) override { recorder_->stop(notify); }

    ShortcutRecorder& recorder() { return *recorder_; }

  private:
    std::unique_ptr<ShortcutRecorder> recorder_;
};

}  // namespace quillory
