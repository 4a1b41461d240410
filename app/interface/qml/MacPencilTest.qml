import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import QuilloryDesign
import QuilloryInterface

// The "pencil-test" card: while it is open the tablet's strokes land on the canvas with their
// pressure instead of moving the desktop's pointer. Clear is also the application's
// Ctrl+Shift+K command, which acts in every window, so the view binds no shortcut of its own.
CardWindowBody {
    id: root

    required property SessionFacade session
    property var actions: null
    readonly property int cardRadius: 34
    readonly property bool connected: session ? session.connected : false

    objectName: "pencilTest"
    // 792 with a 760-wide canvas; a canvas narrowed to fit a portrait screen keeps the footer
    // whole, with the canvas centred above it.
    implicitWidth: Math.max(model.canvasSize.width, footer.implicitWidth) + 32

    PenTestModel {
        id: model

        objectName: "penTestModel"
        session: root.session
        // The window's screen less its panels; Screen.height bounds the collective desktop's
        // figure to this screen.
        available: Qt.size(Math.min(Screen.width, Screen.desktopAvailableWidth),
                           Math.min(Screen.height, Screen.desktopAvailableHeight))
        onCloseRequested: root.close()
    }

    function close() {
        if (root.actions)
            root.actions.close()
    }

    QuilloryCardHeader {
        objectName: "penTestHeader"
        width: root.width
        height: 76
        title: qsTr("Pen test")
        subtitle: root.connected ? qsTr("Draw on your iPad to see pressure here")
                                 : qsTr("Connect your iPad to start")
        onClose: root.close()

        trailing: Row {
            spacing: 8

            HeaderIcon {
                objectName: "gridSwitch"
                symbol: model.grid ? "circle.grid.3x3.fill" : "circle.grid.3x3"
                tip: model.grid ? qsTr("Hide dots") : qsTr("Show dots")
                onClicked: model.toggleGrid()
            }

            HeaderIcon {
                objectName: "clearButton"
                symbol: "eraser"
                tip: model.clearToolTip
                enabled: model.hasInk
                onClicked: model.clear()
            }
        }
    }

    Item {
        width: root.width
        implicitHeight: content.implicitHeight + 32

        ColumnLayout {
            id: content

            x: 16
            y: 16
            width: parent.width - 32
            spacing: 12

            Item {
                objectName: "canvasBox"
                Layout.alignment: Qt.AlignHCenter
                implicitWidth: model.canvasSize.width
                implicitHeight: model.canvasSize.height

                Rectangle {
                    objectName: "canvasFill"
                    anchors.fill: parent
                    radius: 18
                    color: Design.colors.surface
                }

                MacInk {
                    objectName: "ink"
                    anchors.fill: parent
                    radius: 18
                    input: root.session ? root.session.input : null
                    grid: model.grid
                    colors: Design.colors
                    Accessible.role: Accessible.Graphic
                    Accessible.name: qsTr("Live Pencil strokes and position")
                }

                ColumnLayout {
                    objectName: "hint"
                    anchors.centerIn: parent
                    spacing: 10
                    opacity: model.hasInk ? 0 : 1
                    visible: opacity > 0

                    SpringBehavior on opacity { motion: Motion.snappy }

                    Image {
                        Layout.alignment: Qt.AlignHCenter
                        Layout.preferredWidth: 120
                        Layout.preferredHeight: 120
                        source: CardArt.source(root.connected ? "clay-pen" : "clay-tablet")
                        sourceSize: Qt.size(240, 240)
                        fillMode: Image.PreserveAspectFit
                        smooth: true
                        Accessible.ignored: true
                    }

                    DText {
                        objectName: "hintTitle"
                        Layout.alignment: Qt.AlignHCenter
                        text: root.connected ? qsTr("Try your pen") : qsTr("Connect your iPad")
                        font: DesignTypography.title
                    }

                    DText {
                        objectName: "hintText"
                        Layout.alignment: Qt.AlignHCenter
                        Layout.maximumWidth: 360
                        text: root.connected
                              ? qsTr("Your strokes appear here with pressure. Desktop input is paused while this is open.")
                              : qsTr("Open Quillory on your iPad and choose this computer.")
                        font: PadType.subheadline
                        color: Design.colors.secondaryText
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                    }
                }

                Rectangle {
                    anchors.fill: parent
                    radius: 18
                    color: "transparent"
                    border.width: 1
                    border.color: Qt.rgba(Design.colors.neutral.r, Design.colors.neutral.g,
                                          Design.colors.neutral.b, 0.6)
                }
            }

            RowLayout {
                id: footer

                objectName: "footer"
                Layout.fillWidth: true
                Layout.leftMargin: 6
                Layout.minimumHeight: 44
                spacing: 14

                RowLayout {
                    spacing: 7

                    StatusDot {
                        objectName: "statusDot"
                        kind: root.connected ? "live" : "idle"
                        scale: 0.8
                    }

                    DText {
                        objectName: "statusText"
                        text: root.connected ? qsTr("Desktop input paused while testing")
                                             : qsTr("No iPad connected")
                        font.family: PadType.caption.family
                        font.pixelSize: PadType.caption.pixelSize
                        font.weight: Font.DemiBold
                        color: Design.colors.secondaryText
                    }
                }

                Item {
                    Layout.fillWidth: true
                    Layout.minimumWidth: 8
                }

                RowLayout {
                    spacing: 8

                    DText {
                        text: qsTr("Pressure")
                        font: PadType.caption
                        color: Design.colors.secondaryText
                    }

                    T.ProgressBar {
                        objectName: "pressureBar"
                        implicitWidth: 96
                        implicitHeight: 6
                        from: 0
                        to: 1
                        value: model.pressureFraction
                        Accessible.name: qsTr("Pen pressure")
                        Accessible.description: model.pressureText

                        background: Rectangle {
                            radius: 3
                            color: Qt.rgba(Design.colors.primaryText.r,
                                           Design.colors.primaryText.g,
                                           Design.colors.primaryText.b, 0.08)
                        }

                        contentItem: Item {
                            Rectangle {
                                objectName: "pressureLevel"
                                width: 96 * model.pressureFraction
                                height: 6
                                radius: 3
                                color: Design.colors.accent
                                visible: width > 0
                            }
                        }
                    }

                    Item {
                        implicitWidth: 36
                        implicitHeight: readout.implicitHeight

                        DText {
                            id: readout

                            objectName: "pressureReadout"
                            anchors.right: parent.right
                            text: model.pressureText
                            font: PadType.captionMonospacedDigits
                            Accessible.ignored: true
                        }
                    }
                }

                PillButtonStyle {
                    id: returnButton

                    objectName: "returnToDesktop"
                    visible: root.connected
                    text: qsTr("Return to desktop")
                    onClicked: model.returnToDesktop()

                    DesignToolTip {
                        visible: returnButton.pointerHovered
                        text: qsTr("Turn on Desktop control and close Pen test")
                    }
                }
            }
        }
    }

    // A round header icon: the symbol in white on a translucent disc with a light rim.
    component HeaderIcon: DesignPressStyle {
        id: icon

        property string symbol
        property string tip

        Accessible.name: tip
        contentItem: Rectangle {
            implicitWidth: 28
            implicitHeight: 28
            radius: 14
            color: Qt.rgba(1, 1, 1, 0.16)
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.22)

            IconImage {
                objectName: "headerIconImage"
                anchors.centerIn: parent
                width: 12
                height: 12
                symbol: icon.symbol
                color: "white"
            }
        }

        DesignToolTip {
            objectName: "headerIconTip"
            visible: icon.pointerHovered
            text: icon.tip
        }
    }
}
