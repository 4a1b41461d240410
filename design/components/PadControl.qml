import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// One content item padded by 5 points on the interactive control surface, a capsule at its
// minimum height.
T.Pane {
    property real minimumHeight: 48

    padding: 5
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: Math.max(minimumHeight, implicitContentHeight + topPadding + bottomPadding)

    background: ControlSurface {
        interactive: true
        prominent: false
        radius: parent.minimumHeight / 2
    }
}
