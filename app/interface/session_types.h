#pragma once

#include <QtQml/qqmlregistration.h>

#include "app/permissions/guide_model.h"
#include "app/session/session_facade.h"
#include "app/updates/update_dialog_model.h"

// The session's types as QML knows them inside QuilloryInterface; none is created from QML.
namespace quillory::qml {

// The published state SessionFacade inherits.
struct SessionStateForeign {
    Q_GADGET
    QML_FOREIGN(quillory::SessionState)
    QML_ANONYMOUS
};

struct SessionFacadeForeign {
    Q_GADGET
    QML_FOREIGN(quillory::SessionFacade)
    QML_NAMED_ELEMENT(SessionFacade)
    QML_UNCREATABLE("The application provides the session")
};

struct InputControlForeign {
    Q_GADGET
    QML_FOREIGN(quillory::InputControl)
    QML_NAMED_ELEMENT(InputControl)
    QML_UNCREATABLE("The session provides it")
};

struct StudioControlForeign {
    Q_GADGET
    QML_FOREIGN(quillory::StudioControl)
    QML_NAMED_ELEMENT(StudioControl)
    QML_UNCREATABLE("The session provides it")
};

struct SessionShellForeign {
    Q_GADGET
    QML_FOREIGN(quillory::SessionShell)
    QML_NAMED_ELEMENT(SessionShell)
    QML_UNCREATABLE("The session provides it")
};

struct SavedDeviceModelForeign {
    Q_GADGET
    QML_FOREIGN(quillory::SavedDeviceModel)
    QML_NAMED_ELEMENT(SavedDeviceModel)
    QML_UNCREATABLE("The session provides it")
};

// Created by the permission guide; QML tests and scenes make their own.
struct GuideModelForeign {
    Q_GADGET
    QML_FOREIGN(quillory::GuideModel)
    QML_NAMED_ELEMENT(GuideModel)
};

struct UpdateDialogModelForeign {
    Q_GADGET
    QML_FOREIGN(quillory::UpdateDialogModel)
    QML_NAMED_ELEMENT(UpdateDialogModel)
    QML_UNCREATABLE("The updater provides it")
};

struct LatencyValueForeign {
    Q_GADGET
    QML_FOREIGN(quillory::LatencyValue)
    QML_VALUE_TYPE(latencyValue)
};

}  // namespace quillory::qml
