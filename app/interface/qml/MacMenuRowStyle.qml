import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import QuilloryDesign

// A menu row of the status panel: icon, title and, for rows that open a window, a trailing
// arrow. The neutral fill shows at 0.6 while hovered and in full while pressed; a disabled row
// keeps its colours and gets no fill, no hand and no press.
T.AbstractButton {
    id: row

    property string iconName
    property bool opensWindow: false

    readonly property bool pointerHovered: pointer.hovering

    implicitWidth: content.implicitWidth + 16
    implicitHeight: Math.max(32, content.implicitHeight)
    focusPolicy: Qt.StrongFocus
    Accessible.name: text

    background: Rectangle {
        objectName: "menuRowFill"
        radius: 8
        color: row.pressed ? Design.colors.neutralFill
               : row.pointerHovered ? Qt.rgba(Design.colors.neutralFill.r,
                                              Design.colors.neutralFill.g,
                                              Design.colors.neutralFill.b,
                                              Design.colors.neutralFill.a * 0.6)
                                    : "transparent"

        FocusRing {
            control: row
            shapeRadius: 8
        }
    }

    contentItem: RowLayout {
        id: content

        spacing: 10

        Item {
            implicitWidth: 22
            implicitHeight: 16

            IconView {
                anchors.centerIn: parent
                icon: row.iconName
                size: 16
                color: Design.colors.secondaryText
            }
        }

        DText {
            Layout.fillWidth: true
            text: row.text
            font: PadType.subheadline
            color: Design.colors.primaryText
            elide: Text.ElideRight
        }

        IconView {
            visible: row.opensWindow
            icon: "externalLink"
            size: 12
            color: Design.colors.secondaryText
        }
    }

    leftPadding: 8
    rightPadding: 8

    PointerHover {
        id: pointer

        active: row.enabled
    }
}
