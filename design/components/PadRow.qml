import QtQuick
import QtQuick.Layouts
import QuilloryDesign

// A list row: a leading item, the title with an optional detail line, and a trailing item.
// Both texts wrap onto at most two lines.
Item {
    id: padRow

    property string title
    property string detail
    property alias leading: leadingHolder.data
    property alias trailing: trailingHolder.data

    implicitWidth: row.implicitWidth + 24
    implicitHeight: Math.max(56, row.implicitHeight + 20)

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.topMargin: 10
        anchors.bottomMargin: 10
        spacing: 14

        Item {
            id: leadingHolder

            implicitWidth: children.length > 0 ? children[0].implicitWidth : 0
            implicitHeight: children.length > 0 ? children[0].implicitHeight : 0
            visible: children.length > 0
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2

            DText {
                objectName: "rowTitle"
                Layout.fillWidth: true
                text: padRow.title
                font: PadType.bodySemibold
                color: Design.colors.primaryText
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }

            DText {
                objectName: "rowDetail"
                Layout.fillWidth: true
                visible: padRow.detail.length > 0
                text: padRow.detail
                font: PadType.subheadline
                color: Design.colors.secondaryText
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
        }

        Item {
            id: trailingHolder

            // The flexible gap of at least 8 points, with the row's spacing on both sides.
            Layout.leftMargin: 8 + row.spacing
            implicitWidth: children.length > 0 ? children[0].implicitWidth : 0
            implicitHeight: children.length > 0 ? children[0].implicitHeight : 0
            visible: children.length > 0
        }
    }
}
