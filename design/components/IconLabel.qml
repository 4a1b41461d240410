import QtQuick
import QuilloryDesign

// A title with an icon of one role (or a symbol, when `symbol` is set) before it, 20 points, in
// the title's colour.
Row {
    id: label

    property string text
    property string icon
    property string symbol
    property font font: DesignTypography.body
    property color color: Design.colors.primaryText
    property real iconSize: 20

    spacing: 6
    Accessible.role: Accessible.StaticText
    Accessible.name: text

    IconView {
        anchors.verticalCenter: parent.verticalCenter
        icon: label.icon
        symbol: label.symbol
        size: label.iconSize
        color: label.color
    }

    DText {
        anchors.verticalCenter: parent.verticalCenter
        text: label.text
        font: label.font
        color: label.color
        Accessible.ignored: true
    }
}
