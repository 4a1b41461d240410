#pragma once

#include <QWindow>

#include "app/interface/tray_backend.h"

namespace quillory {

// A tray the test controls: whether one runs, where the icon sits, and a click on it.
class FakeTrayBackend final : public TrayBackend {
    Q_OBJECT

  public:
    using TrayBackend::TrayBackend;

    bool isAvailable() const override { return available_; }
    void show() override { shown_ = true; }
    void remove() override { removed_ = true; }
    void setIcon(const QIcon& icon) override { icon_ = icon; }
    void setToolTip(const QString& text) override { toolTip_ = text; }
    QRect geometry() const override { return geometry_; }
    void setContextMenu(QMenu* menu) override { menu_ = menu; }
    bool ownsWindow(const QWindow* window) const override { return window && window == ownWindow_; }

    void setAvailable(bool available) { available_ = available; }
    void setGeometry(QRect geometry) { geometry_ = geometry; }
    void setOwnWindow(const QWindow* window) { ownWindow_ = window; }
    // A primary click on the icon.
    void click() { emit triggered(); }

    bool shown() const { return shown_; }
    bool removed() const { return removed_; }
    const QIcon& icon() const { return icon_; }
    const QString& toolTip() const { return toolTip_; }
    QMenu* contextMenu() const { return menu_; }

  private:
    bool available_ = true;
    bool shown_ = false;
    bool removed_ = false;
    QIcon icon_;
    QString toolTip_;
    QRect geometry_;
    QMenu* menu_ = nullptr;
    const QWindow* ownWindow_ = nullptr;
};

}  // namespace quillory
