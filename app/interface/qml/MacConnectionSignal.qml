import QtQuick
import QuilloryDesign
import QuilloryInterface

// The header's badge: a status dot and one word for the connection.
Rectangle {
    id: badge

    required property QuickControlsModel model

    // The badge's animation is keyed on `connected`: the word cross-fades and the width springs
    // when a tablet connects or goes; other changes of the word apply at once. The session and
    // the model announce a change in either order, so both settle once both have.
    readonly property bool connected: badge.model.session ? badge.model.session.connected : false
    readonly property real fittedWidth: row.implicitWidth + 20
    property real shownWidth: fittedWidth
    property bool springWidth: false
    // The word as it stood when the last changes settled: the one a cross-fade starts from.
    property string settledWord

    function settle() {
        shownWidth = fittedWidth
        springWidth = false
        settledWord = word.text
    }

    objectName: "connectionSignal"
    implicitWidth: shownWidth
    implicitHeight: 24
    radius: height / 2
    color: Design.colors.neutralFill
    Accessible.role: Accessible.StaticText
    Accessible.name: badge.model.signalWord
    Component.onCompleted: settledWord = word.text

    Row {
        id: row

        anchors.centerIn: parent
        spacing: 6

        StatusDot {
            anchors.verticalCenter: parent.verticalCenter
            kind: badge.model.signalDot
            scale: 0.75
        }

        CrossFadeText {
            id: word

            objectName: "signalWord"
            anchors.verticalCenter: parent.verticalCenter
            text: badge.model.signalWord
            font: PadType.footnoteSemibold
            color: badge.model.signalFailed ? Design.colors.destructive
                                            : Design.colors.secondaryText
            motion: Motion.snappy
            onTextChanged: Qt.callLater(badge.settle)
        }
    }

    onFittedWidthChanged: Qt.callLater(badge.settle)
    onConnectedChanged: {
        if (Motion.enabled) {
            word.fadeFrom(settledWord)
            springWidth = true
        }
        Qt.callLater(badge.settle)
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
