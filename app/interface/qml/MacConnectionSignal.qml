import QtQuick
import QuilloryDesign
import QuilloryInterface

// The header's badge: a status dot and one word for the connection.
Rectangle {
    id: badge

    required property QuickControlsModel model

    objectName: "connectionSignal"
    implicitWidth: row.implicitWidth + 20
    implicitHeight: 24
    radius: height / 2
    color: Design.colors.neutralFill
    Accessible.role: Accessible.StaticText
    Accessible.name: badge.model.signalWord

    Row {
        id: row

        anchors.centerIn: parent
        spacing: 6

        StatusDot {
            anchors.verticalCenter: parent.verticalCenter
            kind: badge.model.signalDot
            scale: 0.75
        }

        DText {
            objectName: "signalWord"
            anchors.verticalCenter: parent.verticalCenter
            text: badge.model.signalWord
            font: PadType.footnoteSemibold
            color: badge.model.signalFailed ? Design.colors.destructive
                                            : Design.colors.secondaryText
            Accessible.ignored: true
        }
    }
}
