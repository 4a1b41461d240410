import QtQuick
import QuilloryDesign

// One permission on the welcome window: the green badge once granted, else the soft "Allow …"
// pill. A click only asks (`request`); the badge comes when the poll finds the grant.
Item {
    id: chip

    property string title
    property bool granted: false
    // 0 the button, 1 the badge; springs unless motion is reduced.
    property real presence: granted ? 1 : 0

    signal request()

    implicitWidth: granted ? badge.implicitWidth : button.implicitWidth
    implicitHeight: 44

    SpringBehavior on presence { motion: Motion.bouncy }

    Rectangle {
        id: badge

        objectName: "grantedBadge"
        implicitWidth: badgeLabel.implicitWidth + 32
        width: implicitWidth
        height: 44
        anchors.centerIn: parent
        radius: height / 2
        color: Qt.rgba(Design.colors.success.r, Design.colors.success.g, Design.colors.success.b,
                       0.12)
        opacity: chip.presence
        scale: 0.9 + 0.1 * chip.presence
        visible: chip.granted || chip.presence > 0.001
        Accessible.role: Accessible.StaticText
        Accessible.name: chip.title

        Row {
            id: badgeLabel

            anchors.centerIn: parent
            spacing: 6

            IconImage {
                anchors.verticalCenter: parent.verticalCenter
                width: 16 * Appearance.textScale
                height: 16 * Appearance.textScale
                symbol: "checkmark.circle.fill"
                color: Design.colors.success
            }

            DText {
                objectName: "grantedBadgeText"
                anchors.verticalCenter: parent.verticalCenter
                text: chip.title
                font: PadType.calloutSemibold
                color: Design.colors.success
            }
        }
    }

    PillButtonStyle {
        id: button

        objectName: "allowButton"
        anchors.centerIn: parent
        role: "soft"
        text: qsTr("Allow %1…").arg(chip.title)
        opacity: 1 - chip.presence
        visible: !chip.granted
        onClicked: chip.request()
    }
}
