import QtQuick
import QuilloryDesign

// The gallery's segmented pickers: a plain segmented switch on a neutral track.
Rectangle {
    property alias selection: segments.selection
    property alias options: segments.options

    signal activated(var value)

    implicitWidth: segments.implicitWidth + 6
    implicitHeight: segments.implicitHeight + 6
    radius: height / 2
    color: Design.colors.neutralFill

    SegmentedSwitch {
        id: segments

        anchors.centerIn: parent
        style: "plain"
        segmentHeight: 30
        onActivated: value => parent.activated(value)
    }
}
