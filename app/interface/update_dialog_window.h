#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QQmlEngine;
class QQuickWindow;

namespace quillory {

class UpdateDialogModel;

// The update dialog's window: a small decorated window around UpdateDialog, shown when the model
// asks (raised and activated for a check the user started), hidden with the model, and closing
// it ends the update session like "Later".
class UpdateDialogWindow : public QObject {
    Q_OBJECT

  public:
    UpdateDialogWindow(QQmlEngine* engine, UpdateDialogModel* model, QObject* parent = nullptr);
    ~UpdateDialogWindow() override;

    QQuickWindow* window() const { return window_.get(); }

  private:
    void present(bool activate);
    void followModel();

    QQmlEngine* engine_;
    QPointer<UpdateDialogModel> model_;
    std::unique_ptr<QQuickWindow> window_;
};

}  // namespace quillory
