import QtQuick
import QtQuick.Layouts
import QuilloryDesign

// An inline warning across the available width: the warning icon and `message`, wrapped onto as
// many lines as it needs, in the notice red on a faint red card.
Rectangle {
    id: notice

    property string message

    readonly property color tone: Design.colors.destructiveText

    implicitWidth: row.implicitWidth + 32
    implicitHeight: row.implicitHeight + 32
    // A layout sizes it through fillWidth; anywhere else, as in a Column, it takes the parent's width.
    width: parent ? parent.width : implicitWidth
    Layout.fillWidth: true
    radius: 16
    color: Qt.rgba(tone.r, tone.g, tone.b, 0.06)
    Accessible.role: Accessible.AlertMessage
    Accessible.name: message

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.margins: 16
        spacing: 8

        IconView {
            Layout.alignment: Qt.AlignTop
            icon: "warning"
            size: 20
            color: notice.tone
        }

        DText {
            objectName: "noticeMessage"
            Layout.fillWidth: true
            text: notice.message
            font: DesignTypography.subheadline
            color: notice.tone
            wrapMode: Text.Wrap
            Accessible.ignored: true
        }
    }
}
