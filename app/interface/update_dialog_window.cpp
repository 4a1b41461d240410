#include "app/interface/update_dialog_window.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>

#include "app/updates/update_dialog_model.h"
#include "platform/log/logger.h"

namespace quillory {

namespace {

constexpr char dialogWindow[] = R"(
    import QtQuick
    import QuilloryDesign
    import QuilloryInterface
    Window {
        required property UpdateDialogModel dialogModel
        title: qsTr("Software Update")
        color: Design.colors.background
        width: card.width
        height: card.implicitHeight
        minimumWidth: width
        maximumWidth: width
        minimumHeight: height
        maximumHeight: height
        UpdateDialog { id: card; model: dialogModel; radius: 0 }
    })";

}  // namespace

UpdateDialogWindow::UpdateDialogWindow(QQmlEngine* engine, UpdateDialogModel* model,
                                       QObject* parent)
    : QObject(parent), engine_(engine), model_(model) {
    connect(model, &UpdateDialogModel::presentRequested, this, &UpdateDialogWindow::present);
    connect(model, &UpdateDialogModel::changed, this, &UpdateDialogWindow::followModel);
}

UpdateDialogWindow::~UpdateDialogWindow() = default;

void UpdateDialogWindow::present(bool activate) {
    if (!window_) {
        QQmlComponent component(engine_);
        component.setData(dialogWindow, QUrl(QStringLiteral("qrc:/quillory/update-dialog.qml")));
        QObject* made = component.createWithInitialProperties(
            {{QStringLiteral("dialogModel"), QVariant::fromValue(model_.data())}});
        window_.reset(qobject_cast<QQuickWindow*>(made));
        if (!window_) {
            delete made;
            Logger("com.quillory.mac", "updates")
                .error("The update dialog cannot be built: %s",
                       qUtf8Printable(component.errorString()));
            return;
        }
        connect(window_.get(), &QWindow::visibleChanged, this, [this](bool visible) {
            // The window manager's close button ends the session like "Later".
            if (!visible && model_ && model_->visible()) {
                model_->dismiss();
            }
        });
    }
    window_->show();
    if (activate) {
        window_->raise();
        window_->requestActivate();
    }
}

void UpdateDialogWindow::followModel() {
    if (window_ && model_ && !model_->visible()) {
        window_->hide();
    }
}

}  // namespace quillory
