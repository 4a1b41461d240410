import QtQuick
import QuilloryDesign
import QuilloryInterface

// The header's badge: a status dot and one word for the connection.
Rectangle {
    id: badge

    required property QuickControlsModel model

    // The badge's animation is keyed on `connected`: the word cross-fades and the width springs
    // when a tablet connects or goes; other changes of the word apply at once. The session and
    // the model announce a change in either order, so the width settles once both have.
    readonly property bool connected: badge.model.session ? badge.model.session.connected : false
    readonly property real fittedWidth: row.implicitWidth + 20
    property real shownWidth: fittedWidth
    property bool springWidth: false

    function settleWidth() {
        shownWidth = fittedWidth
        springWidth = false
    }

    objectName: "connectionSignal"
    implicitWidth: shownWidth
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

            NumberAnimation {
                id: fade

                objectName: "signalFade"
                target: word
                property: "opacity"
                from: 0.2
                to: 1
                duration: 180
                easing.type: Easing.OutCubic
            }
        }
    }

    onFittedWidthChanged: Qt.callLater(badge.settleWidth)
    onConnectedChanged: {
        if (Motion.enabled) {
            fade.restart()
            springWidth = true
        }
        Qt.callLater(badge.settleWidth)
    }

    Behavior on shownWidth {
        enabled: badge.springWidth

        SpringAnimation {
            spring: Motion.snappy.spring
            damping: Motion.snappy.damping
            mass: Motion.snappy.mass
            epsilon: 0.25
        }
    }
}
