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
            id: word

            objectName: "signalWord"
            anchors.verticalCenter: parent.verticalCenter
            text: badge.model.signalWord
            font: PadType.footnoteSemibold
            color: badge.model.signalFailed ? Design.colors.destructive
                                            : Design.colors.secondaryText
            Accessible.ignored: true

            // The word cross-fades when it changes, unless motion is reduced.
            onTextChanged: if (Motion.enabled) fade.restart()

            NumberAnimation {
                id: fade

                target: word
                property: "opacity"
                from: 0.2
                to: 1
                duration: 180
                easing.type: Easing.OutCubic
            }
        }
    }

    // The badge's width follows its word with the snappy spring.
    Behavior on implicitWidth {
        enabled: Motion.enabled

        SpringAnimation {
            spring: Motion.snappy.spring
            damping: Motion.snappy.damping
            mass: Motion.snappy.mass
            epsilon: 0.25
        }
    }
}
