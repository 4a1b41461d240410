#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <memory>

#include "platform/desktop/root_window_watcher.h"

namespace quillory {

// Emits changed(name) on the GUI thread when a watched root-window property changes; does
// nothing when no X server answers (offscreen, Wayland without XWayland).
class RootPropertyNotifier : public QObject {
    Q_OBJECT

  public:
    explicit RootPropertyNotifier(const QStringList& names, QObject* parent = nullptr);
    ~RootPropertyNotifier() override;

    bool isWatching() const { return watcher_ != nullptr; }
    // Whether a compositing manager runs; false without a server.
    bool compositing();

  signals:
    void changed(const QString& name);

  private:
    void read();

    std::unique_ptr<RootWindowWatcher> watcher_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quillory
