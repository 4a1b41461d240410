#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>
#include <QPointer>
#include <optional>

#include "design/attached_tree.h"
#include "design/design_material_mode.h"

namespace quillory {

// What controls inherit from the items around them, as an attached property:
// `DesignControl.materialMode` chooses how control surfaces are drawn ("automatic", "fallback",
// "opaque"); `DesignControl.pressed` is set by a press-style button on its label, so that a
// control face inside the label sinks with the button without being told. A value set on an item
// applies to everything below it until a nearer ancestor sets its own.
class DesignControl final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("DesignControl is an attached property")
    QML_ATTACHED(DesignControl)
    Q_PROPERTY(QString materialMode READ materialModeName WRITE setMaterialModeName RESET
                   resetMaterialMode NOTIFY changed)
    Q_PROPERTY(bool pressed READ pressed WRITE setPressed RESET resetPressed NOTIFY changed)

  public:
    explicit DesignControl(QObject* owner);
    static DesignControl* qmlAttachedProperties(QObject* object);

    DesignMaterialMode materialMode() const { return resolved_.mode; }
    QString materialModeName() const { return rawValue(resolved_.mode); }
    // An unknown name is reported and leaves the setting as it was.
    void setMaterialModeName(const QString& name);
    void setMaterialMode(DesignMaterialMode mode);
    void resetMaterialMode();

    bool pressed() const { return resolved_.pressed; }
    void setPressed(bool pressed);
    void resetPressed();

  signals:
    void changed();

  public:
    // Re-reads the inherited values; see attached_tree.h.
    void resolve();

  private:
    struct Values {
        DesignMaterialMode mode = DesignMaterialMode::automatic;
        bool pressed = false;
        friend bool operator==(const Values&, const Values&) = default;
    };

    static Values inheritedAt(QObject* owner);

    QPointer<QObject> owner_;
    AncestorWatch ancestors_;
    std::optional<DesignMaterialMode> mode_;
    std::optional<bool> pressed_;
    Values resolved_;
};

}  // namespace quillory
