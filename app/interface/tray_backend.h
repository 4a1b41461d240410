#pragma once

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>
#include <memory>

class QMenu;
class QWindow;
class QSystemTrayIcon;

namespace quillory {

// The system tray as the status item uses it; tests substitute a fake.
class TrayBackend : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    // Whether a tray host runs now.
    virtual bool isAvailable() const = 0;
    virtual void show() = 0;
    // Takes the icon out of the tray for good.
    virtual void remove() = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& text) = 0;
    // The icon's place on screen; empty where the tray does not tell (StatusNotifierItem).
    virtual QRect geometry() const = 0;
    virtual void setContextMenu(QMenu* menu) = 0;
    // Whether `window` is the tray icon's own (XEmbed); presses there belong to the icon.
    virtual bool ownsWindow(const QWindow* window) const = 0;

  signals:
    // The user activated the icon (a primary click).
    void triggered();
};

// QSystemTrayIcon: XEmbed or StatusNotifierItem, whichever the desktop offers.
class QtTrayBackend final : public TrayBackend {
    Q_OBJECT

  public:
    explicit QtTrayBackend(QObject* parent = nullptr);
    ~QtTrayBackend() override;

    bool isAvailable() const override;
    void show() override;
    void remove() override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& text) override;
    QRect geometry() const override;
    void setContextMenu(QMenu* menu) override;
    bool ownsWindow(const QWindow* window) const override;

  private:
    std::unique_ptr<QSystemTrayIcon> icon_;
};

}  // namespace quillory
