import QtQuick
import QuilloryDesign
import QuilloryInterface

// "Desktop control": whether the pen drives this computer, why not, and the connected tablet's
// switch. The switch shows the stored preference; a refused tap springs back.
PadRow {
    id: toggleRow

    required property QuickControlsModel model

    objectName: "inputToggle"
    title: qsTr("Desktop control")
    detail: model.desktopControlDetail
    leading: IconTile {
        objectName: "inputToggleTile"
        icon: "position"
        dimension: 36
        tint: toggleRow.model.desktopControlTint.length > 0
              ? Design.colors[toggleRow.model.desktopControlTint] : undefined
    }
    trailing: DesignSwitch {
        objectName: "desktopControl"
        name: qsTr("Desktop control")
        checked: toggleRow.model.desktopControlOn
        onToggled: (value) => toggleRow.model.setDesktopControl(value)
    }
}
