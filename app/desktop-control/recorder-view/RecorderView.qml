import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloryDesign
import QuilloryRecorder

// The recorder panel's card: who the chord is for, the keys held so far and the way out. It only
// reads the recorder's model and asks for Cancel and Clear.
Rectangle {
    id: root

    required property QtObject model

    signal cancelRequested()
    signal clearRequested()

    readonly property real cornerRadius: 34
    readonly property real padding: 24

    width: 460
    height: content.implicitHeight
    radius: cornerRadius
    color: Design.colors.background

    RecorderViewModel {
        id: view
        model: root.model
    }

    Column {
        id: content

        width: parent.width
        spacing: 0

        // Square at the bottom: only the card's upper corners are rounded.
        Item {
            objectName: "header"
            width: parent.width
            height: 96
            clip: true

            Rectangle {
                width: parent.width
                height: parent.height + root.cornerRadius
                radius: root.cornerRadius
                gradient: Gradient {
                    GradientStop { position: 0; color: Qt.rgba(0.36, 0.49, 1.0, 1) }
                    GradientStop {
                        position: 96 / (96 + root.cornerRadius)
                        color: Qt.rgba(0.16, 0.30, 0.95, 1)
                    }
                }
            }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: root.padding
                anchors.rightMargin: root.padding
                spacing: 14

                Item {
                    Layout.preferredWidth: 52
                    Layout.preferredHeight: 52

                    // Cast from the outline of what is drawn: the icon's own, or the
                    // placeholder symbol's.
                    GaussianShadow {
                        objectName: "appIconShadow"
                        image: view.icon
                        source: appSymbol.symbolSource
                        blur: 8
                        color: Qt.rgba(0, 0, 0, 0.25)
                        x: -padding
                        y: -padding + 4
                        width: parent.width + 2 * padding
                        height: parent.height + 2 * padding
                    }

                    RecorderIcon {
                        objectName: "appIcon"
                        anchors.fill: parent
                        image: view.icon
                        visible: view.hasIcon
                    }

                    IconImage {
                        id: appSymbol

                        objectName: "appSymbol"
                        anchors.fill: parent
                        symbol: "app.dashed"
                        color: Qt.rgba(1, 1, 1, 0.8)
                        visible: !view.hasIcon
                    }
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 3

                    DText {
                        id: title

                        objectName: "title"
                        Layout.fillWidth: true
                        text: view.title
                        font: DesignTypography.title3
                        color: "white"
                        maximumLineCount: 1
                        elide: Text.ElideRight

                        HoverHandler { id: titleHover }

                        ToolTip {
                            visible: titleHover.hovered && title.truncated
                            contentItem: DText {
                                text: view.title
                                wrapMode: Text.Wrap
                            }
                        }
                    }

                    DText {
                        Layout.fillWidth: true
                        text: qsTr("Requested from your iPad")
                        font.family: Qt.application.font.family
                        font.pixelSize: 12
                        color: Qt.rgba(1, 1, 1, 0.8)
                        maximumLineCount: 1
                        elide: Text.ElideRight
                    }
                }
            }
        }

        Column {
            x: root.padding
            width: parent.width - 2 * root.padding
            topPadding: root.padding
            bottomPadding: root.padding
            spacing: 14

            CrossFadeText {
                id: prompt

                objectName: "prompt"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: view.prompt
                font: DesignTypography.title
                motion: view.keySpring
                fadesEveryChange: true
            }

            Item {
                width: parent.width
                height: 64

                // The caps shown, centred. Each cap keeps its delegate while it is seen: the one
                // that comes fades in at its place, the one that goes fades out where it stood,
                // and the others slide to their places on the key spring.
                Item {
                    id: keys

                    objectName: "keys"
                    x: (parent.width - width) / 2
                    anchors.verticalCenter: parent.verticalCenter
                    height: 56

                    // A going cap keeps its place while it fades but takes none from the others.
                    function layout() {
                        let x = 0
                        for (let i = 0; i < repeater.count; ++i) {
                            const cap = repeater.itemAt(i)
                            if (!cap || cap.going)
                                continue
                            cap.place = x
                            cap.placed = true
                            x += cap.width + 8
                        }
                        width = Math.max(0, x - 8)
                    }

                    SpringBehavior on x { motion: view.keySpring; epsilon: 0.25 }

                    Repeater {
                        id: repeater

                        model: view.caps
                        onItemAdded: keys.layout()
                        onItemRemoved: keys.layout()

                        KeyCap {
                            required property int index
                            required property bool going
                            required text
                            required placeholder
                            required pixelSize

                            property real place: 0
                            property bool placed: false
                            property bool shown: false

                            x: place
                            // A new cap fades in; it does not grow.
                            opacity: shown && !going ? 1 : 0
                            Component.onCompleted: shown = true
                            onGoingChanged: {
                                keys.layout()
                                dropIfFaded()
                            }
                            onWidthChanged: keys.layout()
                            onOpacityChanged: dropIfFaded()

                            function dropIfFaded() {
                                if (going && opacity === 0)
                                    view.caps.drop(index)
                            }

                            SpringBehavior on x {
                                enabled: placed && Motion.enabled
                                motion: view.keySpring
                                epsilon: 0.25
                            }
                            SpringBehavior on opacity { motion: view.keySpring }
                        }
                    }
                }
            }

            DText {
                objectName: "explanation"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                text: view.explanation
                font: PadType.subheadline
                color: Design.colors.secondaryText
            }

            RowLayout {
                width: parent.width
                spacing: 8

                PillButtonStyle {
                    objectName: "clearButton"
                    Layout.topMargin: 4
                    text: qsTr("Clear")
                    role: "soft"
                    enabled: view.clearEnabled
                    onClicked: root.clearRequested()
                }

                Item { Layout.fillWidth: true }

                DText {
                    Layout.topMargin: 4
                    text: qsTr("Esc cancels")
                    font: PadType.caption
                    color: Design.colors.secondaryText
                }

                PillButtonStyle {
                    objectName: "cancelButton"
                    Layout.topMargin: 4
                    text: qsTr("Cancel")
                    role: "soft"
                    onClicked: root.cancelRequested()
                }
            }
        }
    }

    // Drawn inside the card's edge, over the header too.
    Rectangle {
        anchors.fill: parent
        radius: root.cornerRadius
        color: "transparent"
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }
}
