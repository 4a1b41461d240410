#include "app/session/x11_foreground_events.h"

namespace quillory {

X11ForegroundEvents::X11ForegroundEvents(QObject* parent)
    : QObject(parent), notifier_({QStringLiteral("_NET_ACTIVE_WINDOW")}) {
    connect(&notifier_, &RootPropertyNotifier::changed, this, [this] {
        if (onChange) {
            onChange();
        }
    });
}

}  // namespace quillory
