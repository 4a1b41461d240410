import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// A tooltip whose text is always plain: names from the network never turn into markup.
T.ToolTip {
    id: tip

    x: parent ? (parent.width - implicitWidth) / 2 : 0
    y: -implicitHeight - 4
    padding: 6
    delay: 600
    implicitWidth: Math.min(320, contentItem.implicitWidth + leftPadding + rightPadding)
    implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding

    contentItem: DText {
        objectName: "toolTipText"
        text: tip.text
        font: PadType.caption
        color: Design.colors.inverseText
        wrapMode: Text.Wrap
    }

    background: Rectangle {
        radius: 6
        color: Design.colors.inverseSurface
    }
}
