import QtQuick
import QuilloryDesign

// A one-line link status: a dot with a soft halo, green while `active`, and the caption `text`
// in the secondary text colour.
Row {
    id: label

    property string text
    property bool active: false

    readonly property color tone: active ? Design.colors.successText
                                         : Design.colors.secondaryText

    spacing: 8

    Item {
        anchors.verticalCenter: parent.verticalCenter
        width: 14
        height: 14
        Accessible.ignored: true

        Rectangle {
            objectName: "statusHalo"
            anchors.fill: parent
            radius: 7
            color: Qt.rgba(label.tone.r, label.tone.g, label.tone.b, 0.12)
        }

        Rectangle {
            objectName: "statusDot"
            anchors.centerIn: parent
            width: 6
            height: 6
            radius: 3
            color: label.tone
        }
    }

    DText {
        objectName: "statusCaption"
        anchors.verticalCenter: parent.verticalCenter
        text: label.text
        font: DesignTypography.caption
        color: Design.colors.secondaryText
    }
}
