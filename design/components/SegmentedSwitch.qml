import QtQuick
import QtQuick.Layouts
import QuilloryDesign

// A row of text segments for one selected value; the selected segment sits on a thumb that
// slides to a newly chosen segment. The caller owns the value: bind `selection` and write it back
// in onActivated. `options`: [{ value, title }]; `style`: "accent" or "plain"; without a
// `segmentWidth` the segments share the width. Arrow keys, Home and End choose with the keyboard.
FocusScope {
    id: control

    property var selection
    property var options: []
    property string style: "accent"
    property real segmentWidth: -1
    property real segmentHeight: 38

    readonly property bool fixedWidth: segmentWidth >= 0
    readonly property int selectedIndex: {
        for (let i = 0; i < options.length; ++i) {
            if (options[i].value === selection)
                return i
        }
        return -1
    }
    // Depends on count: itemAt() tells no one when the segments are created.
    readonly property Item selectedSegment: selectedIndex >= 0 && segments.count > selectedIndex
                                            ? segments.itemAt(selectedIndex) : null

    // A segment other than the selected one was chosen.
    signal activated(var value)

    function choose(index) {
        if (index < 0 || index >= options.length || index === selectedIndex)
            return
        activated(options[index].value)
    }

    // Without a segment width, every segment is as wide as the widest title needs.
    implicitWidth: {
        if (fixedWidth)
            return options.length * segmentWidth
        let widest = 0
        for (let i = 0; i < segments.count; ++i)
            widest = Math.max(widest, segments.itemAt(i).titleWidth)
        return segments.count * (widest + 32)
    }
    implicitHeight: segmentHeight
    activeFocusOnTab: true
    Accessible.role: Accessible.PageTabList

    Keys.onLeftPressed: choose(Math.max(0, selectedIndex - 1))
    Keys.onRightPressed: choose(Math.min(options.length - 1, selectedIndex + 1))
    Keys.onPressed: event => {
        if (event.key === Qt.Key_Home) {
            choose(0)
            event.accepted = true
        } else if (event.key === Qt.Key_End) {
            choose(options.length - 1)
            event.accepted = true
        }
    }

    // The thumb is one item that moves, so a new selection slides it across.
    Item {
        id: thumb

        property bool placed: false

        objectName: "segmentThumb"
        visible: control.selectedSegment !== null
        x: control.selectedSegment ? control.selectedSegment.x : 0
        width: control.selectedSegment ? control.selectedSegment.width : 0
        height: control.segmentHeight

        Behavior on x {
            enabled: thumb.placed && Motion.enabled

            SpringAnimation {
                spring: Motion.gentle.spring
                damping: Motion.gentle.damping
                mass: Motion.gentle.mass
                epsilon: 0.25
            }
        }
        Behavior on width {
            enabled: thumb.placed && Motion.enabled

            SpringAnimation {
                spring: Motion.gentle.spring
                damping: Motion.gentle.damping
                mass: Motion.gentle.mass
                epsilon: 0.25
            }
        }

        DesignShadow {
            anchors.fill: parent
            blur: control.style === "accent" ? 6 : 2
            offsetY: control.style === "accent" ? 3 : 1
            shapeRadius: height / 2
            shadowColor: control.style === "accent"
                         ? Qt.rgba(Design.colors.accent.r, Design.colors.accent.g,
                                   Design.colors.accent.b, 0.4)
                         : Qt.rgba(0, 0, 0, 0.1)
        }

        Rectangle {
            objectName: "thumbFill"
            anchors.fill: parent
            radius: height / 2
            color: control.style === "accent" ? Design.colors.accent : Design.colors.surface
        }

        FocusRing {
            control: null
            visible: control.activeFocus && control.selectedSegment !== null
        }
    }

    RowLayout {
        id: row

        anchors.fill: parent
        spacing: 0

        Repeater {
            id: segments

            model: control.options

            Item {
                id: segment

                readonly property bool selected: index === control.selectedIndex
                readonly property real titleWidth: label.implicitWidth

                objectName: "segment" + index
                Layout.fillWidth: !control.fixedWidth
                Layout.preferredWidth: control.fixedWidth ? control.segmentWidth : 1
                Layout.preferredHeight: control.segmentHeight
                Accessible.role: Accessible.PageTab
                Accessible.name: modelData.title
                Accessible.selectable: true
                Accessible.selected: selected
                Accessible.onPressAction: control.choose(index)

                DText {
                    id: label

                    // A long title shrinks down to 80 % of its font, then it is cut short. Pixel
                    // sizes are whole numbers, so the title is scaled rather than refitted.
                    readonly property real room: Math.max(0, segment.width - 32)
                    readonly property real fit: Math.max(0.8, Math.min(1, room / Math.max(1, implicitWidth)))

                    objectName: "segmentTitle"
                    anchors.centerIn: parent
                    width: room / fit
                    height: parent.height
                    scale: fit
                    text: modelData.title
                    font: PadType.calloutSemibold
                    color: segment.selected
                           ? (control.style === "accent" ? Design.colors.onAccent
                                                         : Design.colors.primaryText)
                           : Design.colors.secondaryText
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    maximumLineCount: 1
                    elide: Text.ElideRight
                }

                TapHandler {
                    onTapped: control.choose(index)
                }

                PointerHover {
                    active: !segment.selected
                }
            }
        }
    }

    Component.onCompleted: Qt.callLater(() => thumb.placed = true)
}
