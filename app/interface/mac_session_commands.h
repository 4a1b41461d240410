#pragma once

#include <QAction>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "app/session/session_facade.h"

class QMenu;

namespace quillory {

// The application's commands, in the tray icon's context menu: "Open", "Remembered devices…",
// "Settings", "Check for Updates…" (only while the updater is available; enabled while it can
// check), "Clear Pen Test", "Disconnect iPad" (enabled while connected) and "Quit Quillory". The
// menu follows the session's changes. The shortcuts (Ctrl+,, Ctrl+Shift+K, Ctrl+Q) act in every
// window of the application once installShortcuts() has run. Main thread.
class MacSessionCommands final : public QObject {
    Q_OBJECT

  public:
    struct Actions {
        std::function<void()> showPanel;
        std::function<void(QString)> open;
        std::function<void()> quit;
    };

    MacSessionCommands(SessionFacade* session, Actions actions, QObject* parent = nullptr);
    ~MacSessionCommands() override;

    QMenu* menu() const { return menu_.get(); }
    // Watches key presses in every window of the application.
    void installShortcuts();
    // Runs the command bound to this key, if one is; true when one ran.
    bool runShortcut(QKeyCombination key);

    QAction* openAction() const { return open_; }
    QAction* rememberedDevicesAction() const { return rememberedDevices_; }
    QAction* settingsAction() const { return settings_; }
    QAction* checkForUpdatesAction() const { return checkForUpdates_; }
    QAction* clearPenTestAction() const { return clearPenTest_; }
    QAction* disconnectAction() const { return disconnect_; }
    QAction* quitAction() const { return quit_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* add(const QString& title, const QKeySequence& shortcut, std::function<void()> run);
    void refresh();

    SessionFacade* session_;
    Actions actions_;
    std::unique_ptr<QMenu> menu_;
    QAction* open_ = nullptr;
    QAction* rememberedDevices_ = nullptr;
    QAction* settings_ = nullptr;
    QAction* checkForUpdates_ = nullptr;
    QAction* clearPenTest_ = nullptr;
    QAction* disconnect_ = nullptr;
    QAction* quit_ = nullptr;
    bool filtering_ = false;
};

}  // namespace quillory
