#include "app/interface/tray_backend.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>

namespace quillory {

QtTrayBackend::QtTrayBackend(QObject* parent)
    : TrayBackend(parent), icon_(std::make_unique<QSystemTrayIcon>()) {
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    emit triggered();
                }
            });
}

QtTrayBackend::~QtTrayBackend() = default;

bool QtTrayBackend::isAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayBackend::show() {
    if (icon_) {
        icon_->show();
    }
}

void QtTrayBackend::remove() {
    if (icon_) {
        icon_->hide();
        icon_.reset();
    }
}

void QtTrayBackend::setIcon(const QIcon& icon) {
    if (icon_) {
        icon_->setIcon(icon);
    }
}

void QtTrayBackend::setToolTip(const QString& text) {
    if (icon_) {
        icon_->setToolTip(text);
    }
}

QRect QtTrayBackend::geometry() const {
    return icon_ ? icon_->geometry() : QRect();
}

void QtTrayBackend::setContextMenu(QMenu* menu) {
    if (icon_) {
        icon_->setContextMenu(menu);
    }
}

bool QtTrayBackend::ownsWindow(const QWindow* window) const {
    if (!icon_ || !window) {
        return false;
    }
    // QSystemTrayIcon's XEmbed icon is a private widget; it is found by its class.
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window && widget->inherits("QSystemTrayIconSys")) {
            return true;
        }
    }
    return false;
}

}  // namespace quillory
