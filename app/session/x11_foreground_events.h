#pragma once

#include <QObject>

#include "app/session/root_property_notifier.h"
#include "app/session/session_sources.h"

namespace quillory {

// The active window changed on the X server (_NET_ACTIVE_WINDOW of the root window). Silent
// without a server.
class X11ForegroundEvents final : public QObject, public ForegroundEvents {
    Q_OBJECT

  public:
    explicit X11ForegroundEvents(QObject* parent = nullptr);

    bool isWatching() const { return notifier_.isWatching(); }

  private:
    RootPropertyNotifier notifier_;
};

}  // namespace quillory
