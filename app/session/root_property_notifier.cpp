#include "app/session/root_property_notifier.h"

#include "platform/log/logger.h"

namespace quillory {

RootPropertyNotifier::RootPropertyNotifier(const QStringList& names, QObject* parent)
    : QObject(parent) {
    std::vector<std::string> watched;
    for (const QString& name : names) {
        watched.push_back(name.toStdString());
    }
    auto opened = RootWindowWatcher::open(nullptr, watched);
    if (!opened) {
        static const Logger logger("app.quillory.session", "desktop");
        logger.info("Not watching the desktop's properties: %s", opened.error().c_str());
        return;
    }
    watcher_ = std::move(opened).value();
    notifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(watcher_->fileDescriptor()),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &RootPropertyNotifier::read);
    // Events read along with a reply may already wait in the connection's buffer.
    read();
}

RootPropertyNotifier::~RootPropertyNotifier() = default;

bool RootPropertyNotifier::compositing() {
    if (!watcher_) {
        return false;
    }
    const bool running = watcher_->compositing();
    // The reply may have brought changes along, which the socket will not announce again.
    QMetaObject::invokeMethod(this, &RootPropertyNotifier::read, Qt::QueuedConnection);
    return running;
}

void RootPropertyNotifier::read() {
    for (const std::string& name : watcher_->readChanges().properties) {
        emit changed(QString::fromStdString(name));
    }
    if (watcher_->broken()) {
        notifier_->setEnabled(false);
    }
}

}  // namespace quillory
