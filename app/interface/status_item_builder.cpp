#include "app/interface/status_item_builder.h"

#include "app/interface/tray_backend.h"
#include "app/session/root_property_notifier.h"

namespace quillory {

StatusItemBuilder::StatusItemBuilder(Environment environment)
    : environment_(std::move(environment)) {}

StatusItemBuilder::~StatusItemBuilder() = default;

std::unique_ptr<MacStatusItemController> StatusItemBuilder::make(
    SessionFacade& session, std::function<void(QString)> openUtility) {
    StatusItemEnvironment status;
    status.tray =
        environment_.makeTray ? environment_.makeTray() : std::make_unique<QtTrayBackend>();
    status.engine = environment_.engine;
    status.content = environment_.content;
    status.desktop = environment_.desktop;
    status.maskCorners = !environment_.desktop || !environment_.desktop->compositing();
    auto controller =
        std::make_unique<MacStatusItemController>(&session, openUtility, std::move(status));
    MacStatusItemController* item = controller.get();
    MacSessionCommands::Actions actions;
    actions.showPanel = [item] { item->showPanelForUser(); };
    actions.open = std::move(openUtility);
    actions.quit = environment_.quit;
    QObject::connect(item, &MacStatusItemController::quitRequested, item, actions.quit);
    commands_ = std::make_unique<MacSessionCommands>(&session, std::move(actions));
    commands_->installShortcuts();
    item->setContextMenu(commands_->menu());
    return controller;
}

void StatusItemBuilder::release() {
    commands_.reset();
}

}  // namespace quillory
