import QtQuick
import QuilloryDesign

// An on/off switch that shows what its model says: a tap, Space or an assistive toggle emits
// `toggled(value)` and never writes `checked`, so a refused change springs back and the
// binding stays intact. Accent track when on, neutral when off; `name` is read out.
Item {
    id: control

    property bool checked: false
    property string name
    readonly property bool visualFocus: activeFocus

    signal toggled(bool value)

    function toggle() {
        if (enabled)
            toggled(!checked)
    }

    implicitWidth: 40
    implicitHeight: 24
    activeFocusOnTab: true
    opacity: enabled ? 1 : 0.45

    Accessible.role: Accessible.CheckBox
    Accessible.name: name
    Accessible.checkable: true
    Accessible.checked: checked
    Accessible.onPressAction: toggle()
    Accessible.onToggleAction: toggle()

    Keys.onSpacePressed: toggle()

    Rectangle {
        objectName: "switchTrack"
        anchors.fill: parent
        radius: height / 2
        color: control.checked ? Design.colors.accent : Design.colors.neutralFill
        border.width: control.checked ? 0 : 1
        border.color: Qt.rgba(Design.colors.primaryText.r, Design.colors.primaryText.g,
                              Design.colors.primaryText.b, 0.08)
    }

    Rectangle {
        id: knob

        objectName: "switchKnob"
        width: control.height - 4
        height: width
        radius: width / 2
        y: 2
        x: control.checked ? control.width - width - 2 : 2
        color: "white"
        border.width: 0.5
        border.color: Qt.rgba(0, 0, 0, 0.12)

        SpringBehavior on x {
            motion: Motion.snappy
            epsilon: 0.25
        }
    }

    FocusRing {
        control: control
        shapeRadius: control.height / 2
    }

    TapHandler {
        // Takes the press for itself, so that a card around the switch cannot claim it.
        gesturePolicy: TapHandler.ReleaseWithinBounds
        onTapped: control.toggle()
    }

    PointerHover {
        active: control.enabled
    }
}
