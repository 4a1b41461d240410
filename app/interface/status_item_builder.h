#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "app/interface/mac_session_commands.h"
#include "app/interface/mac_status_item_controller.h"

class QQmlComponent;
class QQmlEngine;

namespace quillory {

class RootPropertyNotifier;
class SessionFacade;
class TrayBackend;

// Builds the application's status item as the lifecycle asks for it at launch: the tray icon and
// its panel, with the application's commands in the icon's context menu and their shortcuts
// installed. Keeps the commands until release(). Main thread.
class StatusItemBuilder {
  public:
    struct Environment {
        QQmlEngine* engine = nullptr;
        // The quick controls; none leaves the panel empty.
        QQmlComponent* content = nullptr;
        RootPropertyNotifier* desktop = nullptr;
        // The user's quit, from the menu, its shortcut or the panel.
        std::function<void()> quit;
        // Empty: the system tray.
        std::function<std::unique_ptr<TrayBackend>()> makeTray;
    };

    explicit StatusItemBuilder(Environment environment);
    ~StatusItemBuilder();
    StatusItemBuilder(const StatusItemBuilder&) = delete;
    StatusItemBuilder& operator=(const StatusItemBuilder&) = delete;

    std::unique_ptr<MacStatusItemController> make(SessionFacade& session,
                                                  std::function<void(QString)> openUtility);
    // Ends the commands and their menu, before the status item they serve goes.
    void release();

  private:
    Environment environment_;
    std::unique_ptr<MacSessionCommands> commands_;
};

}  // namespace quillory
