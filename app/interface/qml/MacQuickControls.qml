import QtQuick
import QtQuick.Layouts
import QuilloryDesign
import QuilloryInterface

// The status panel's content: the header with the connection signal, the connection card
// (waiting, pairing or connected), the permission rows and the menu rows. It takes the session,
// the panel's visibility and the panel's close, open and quit requests from the panel window it
// sits in, unless a host sets them.
//
// No Escape and no Ctrl+Q here: Escape belongs to the panel (it hides it and the pairing stays)
// and Ctrl+Q is the application's command; a second shortcut would make both ambiguous.
Item {
    id: quick

    property SessionFacade session: Window.window && Window.window.session
                                    ? Window.window.session : null
    // A window's own `visibility` is its QWindow state; only the panel's is an object.
    property PanelVisibility visibility: Window.window
                                         && typeof Window.window.visibility === "object"
                                         ? Window.window.visibility : null
    readonly property alias model: controls

    signal closePopover()
    signal openUtility(string identifier)
    signal quit()

    objectName: "quickControls"
    implicitWidth: 340
    implicitHeight: column.implicitHeight + 28
    width: 340

    QuickControlsModel {
        id: controls

        session: quick.session
        Component.onCompleted: lookUpComputerName()
        onClosePopoverRequested: {
            quick.closePopover()
            const panel = quick.Window.window
            if (panel && typeof panel.closeRequested === "function")
                panel.closeRequested()
        }
        onOpenUtilityRequested: (identifier) => {
            quick.openUtility(identifier)
            const panel = quick.Window.window
            if (panel && panel.controller)
                panel.controller.openUtility(identifier)
        }
        onQuitRequested: {
            quick.quit()
            const panel = quick.Window.window
            if (panel && panel.controller && typeof panel.controller.requestQuit === "function")
                panel.controller.requestQuit()
        }
    }

    // Return confirms only in a panel the user focused; the model reads its clock at the key, as
    // the redraw at the end of the second may not have happened yet on a busy main thread.
    Shortcut {
        sequences: ["Return", "Enter"]
        context: Qt.WindowShortcut
        enabled: controls.card === "pairing" && quick.Window.active
        onActivated: controls.confirm()
    }

    Column {
        id: column

        x: 14
        y: 14
        width: 312
        spacing: 12
        // The header's own padding above it; the column's padding below is the panel's.
        topPadding: 2

        RowLayout {
            x: 4
            width: parent.width - 8
            spacing: 10

            Rectangle {
                implicitWidth: 28
                implicitHeight: 28
                radius: 8
                color: Design.colors.accent

                BrandMark {
                    anchors.fill: parent
                    anchors.margins: 4
                    color: Design.colors.onAccent
                }
            }

            DText {
                text: qsTr("Quillory")
                font: DesignTypography.title3
            }

            Item {
                Layout.fillWidth: true
            }

            MacConnectionSignal {
                model: controls
            }
        }

        Item {
            id: cardHolder

            width: parent.width
            implicitHeight: waitingCard.current ? waitingCard.implicitHeight
                            : pairingCard.current ? pairingCard.implicitHeight
                                                  : connectedCard.implicitHeight
            height: implicitHeight

            WaitingCard {
                id: waitingCard

                width: parent.width
                current: controls.card === "waiting"
            }

            PairingCard {
                id: pairingCard

                width: parent.width
                current: controls.card === "pairing"
            }

            ConnectedCard {
                id: connectedCard

                width: parent.width
                current: controls.card === "connected"
            }
        }

        MacPermissions {
            width: parent.width
            session: quick.session
            active: quick.visibility ? quick.visibility.visible : false
        }

        MenuRows {
            width: parent.width
        }
    }

    component CardTitle: DText {
        font: PadType.headline
        wrapMode: Text.Wrap
        maximumLineCount: 2
        elide: Text.ElideRight

        HoverHandler {
            id: titleHover
        }

        DesignToolTip {
            objectName: "nameToolTip"
            visible: titleHover.hovered && parent.truncated
            text: parent.text
        }
    }

    // A card comes in growing from 0.98 as it fades in, and leaves the same way back, on the
    // standard spring; the one leaving sits under the one coming in until it is gone.
    component SwappedCard: PadCard {
        property bool current
        property real presence: current ? 1 : 0

        opacity: presence
        scale: 0.98 + 0.02 * presence
        visible: presence > 0.001
        enabled: current
        z: current ? 1 : 0

        SpringBehavior on presence { motion: Motion.standard }
    }

    component WaitingCard: SwappedCard {
        radius: 18
        padding: 0
        objectName: "waitingCard"

        ColumnLayout {
            width: parent.width
            spacing: 12

            RowLayout {
                Layout.margins: 14
                Layout.bottomMargin: 0
                Layout.fillWidth: true
                spacing: 12

                IconTile {
                    Layout.alignment: Qt.AlignTop
                    dimension: 40
                    icon: controls.waitingIcon
                    tint: Design.colors[controls.waitingTint]
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 3

                    CardTitle {
                        objectName: "waitingTitle"
                        Layout.fillWidth: true
                        text: controls.waitingTitle
                    }

                    DText {
                        objectName: "waitingDetail"
                        Layout.fillWidth: true
                        text: controls.waitingDetail
                        font: PadType.subheadline
                        color: Design.colors.secondaryText
                        wrapMode: Text.Wrap
                    }
                }
            }

            PillButtonStyle {
                objectName: "startButton"
                Layout.leftMargin: 14
                Layout.rightMargin: 14
                Layout.bottomMargin: stopWaiting.visible ? 0 : 14
                visible: controls.primaryButton.length > 0
                expand: true
                text: controls.primaryButton
                onClicked: controls.start()
            }

            PillButtonStyle {
                id: stopWaiting

                objectName: "stopWaiting"
                Layout.leftMargin: 14
                Layout.rightMargin: 14
                Layout.bottomMargin: 14
                visible: controls.stopWaitingVisible
                role: "soft"
                expand: true
                text: qsTr("Stop waiting")
                onClicked: controls.disconnect()
            }

            Item {
                visible: controls.primaryButton.length === 0 && !controls.stopWaitingVisible
                implicitHeight: 2
            }
        }
    }

    // The smallest progress spinner: eight spokes, the brightest one turning a step at a time.
    component MiniSpinner: Item {
        id: spinner

        property color color
        property int lead: 0

        implicitWidth: 11
        implicitHeight: 11

        Repeater {
            model: 8

            Rectangle {
                required property int index

                x: (spinner.width - width) / 2
                width: 1.5
                height: spinner.height * 0.3
                radius: width / 2
                color: spinner.color
                opacity: 0.25 + 0.75 * ((index - spinner.lead + 8) % 8) / 7
                transform: Rotation {
                    origin.x: 0.75
                    origin.y: spinner.height / 2
                    angle: index * 45
                }
            }
        }

        Timer {
            interval: 100
            repeat: true
            running: spinner.visible && spinner.Window.window !== null
                     && spinner.Window.window.visible
            onTriggered: spinner.lead = (spinner.lead + 1) % 8
        }
    }

    component ApprovalChip: Rectangle {
        property string caption
        property string status
        property bool approved

        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.preferredWidth: 1
        implicitHeight: chipColumn.implicitHeight + 16
        radius: 10
        color: Design.colors.background
        Accessible.role: Accessible.StaticText
        Accessible.name: caption + ", " + status

        ColumnLayout {
            id: chipColumn

            x: 10
            y: 8
            width: parent.width - 20
            spacing: 3

            DText {
                id: captionText

                Layout.fillWidth: true
                text: caption
                font: PadType.caption
                color: Design.colors.secondaryText
                maximumLineCount: 1
                elide: Text.ElideRight
                Accessible.ignored: true

                HoverHandler {
                    id: captionHover
                }

                DesignToolTip {
                    visible: captionHover.hovered && captionText.truncated
                    text: captionText.text
                }
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 5

                IconView {
                    visible: approved
                    icon: "confirmed"
                    size: 13
                    color: Design.colors.success
                }

                MiniSpinner {
                    objectName: "approvalSpinner"
                    visible: !approved
                    color: Design.colors.secondaryText
                }

                // A status that does not fit on one line even at 0.8 of its size ("Confirmed on
                // this computer" in a wide desktop font) takes a second line rather than losing
                // its end.
                TextMetrics {
                    id: shrunk

                    font.family: statusText.font.family
                    font.weight: statusText.font.weight
                    font.pixelSize: statusText.minimumPixelSize
                    text: status
                }

                DText {
                    id: statusText

                    readonly property bool oneLine: shrunk.advanceWidth <= width

                    objectName: "approvalStatus"
                    Layout.fillWidth: true
                    text: status
                    font: PadType.footnoteSemibold
                    color: approved ? Design.colors.success : Design.colors.secondaryText
                    maximumLineCount: oneLine ? 1 : 2
                    wrapMode: oneLine ? Text.NoWrap : Text.WordWrap
                    elide: Text.ElideRight
                    fontSizeMode: oneLine ? Text.HorizontalFit : Text.FixedSize
                    minimumPixelSize: Math.round(0.8 * PadType.footnoteSemibold.pixelSize)
                    Accessible.ignored: true

                    HoverHandler {
                        id: statusHover
                    }

                    DesignToolTip {
                        visible: statusHover.hovered && statusText.truncated
                        text: statusText.text
                    }
                }
            }
        }
    }

    component PairingCard: SwappedCard {
        radius: 18
        padding: 14
        objectName: "pairingCard"

        ColumnLayout {
            width: parent.width
            spacing: 12

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 3

                CardTitle {
                    objectName: "pairingTitle"
                    Layout.fillWidth: true
                    text: controls.pairingTitle
                    maximumLineCount: 1
                }

                DText {
                    Layout.fillWidth: true
                    text: ConnectionCopy.confirmInstruction
                    font: PadType.subheadline
                    color: Design.colors.secondaryText
                    wrapMode: Text.Wrap
                }
            }

            PairingCodeView {
                Layout.fillWidth: true
                code: quick.session ? quick.session.pairingCode : ""
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                ApprovalChip {
                    objectName: "thisMacChip"
                    caption: qsTr("This computer")
                    status: controls.thisMacStatus
                    approved: quick.session ? quick.session.pairingApproved : false
                }

                ApprovalChip {
                    objectName: "peerChip"
                    caption: quick.session ? quick.session.peerName : ""
                    status: controls.peerStatus
                    approved: quick.session ? quick.session.peerApproved : false
                }
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                PillButtonStyle {
                    objectName: "cancelPairing"
                    role: "soft"
                    expand: true
                    Layout.preferredWidth: 1
                    text: ConnectionCopy.cancel
                    onClicked: controls.disconnect()
                }

                PillButtonStyle {
                    objectName: "approvePairing"
                    expand: true
                    Layout.preferredWidth: 1
                    enabled: controls.confirmEnabled
                    text: controls.confirmTitle
                    onClicked: controls.confirm()
                }
            }
        }
    }

    component InsetDivider: Rectangle {
        x: 62
        width: parent ? parent.width - 62 : 0
        height: 1
        color: Design.colors.rule
    }

    component ConnectedCard: SwappedCard {
        radius: 18
        padding: 2
        objectName: "connectedCard"

        Column {
            width: parent.width

            PadRow {
                objectName: "tabletRow"
                width: parent.width
                title: quick.session ? quick.session.peerName : ""
                detail: controls.tabletDetail
                leading: IconTile {
                    icon: "tablet"
                    dimension: 36
                    tint: Design.colors.accent
                }
                trailing: StatusDot {
                    kind: "live"
                }
            }

            InsetDivider {
                visible: controls.studioRow.length > 0
            }

            PadRow {
                objectName: "studioRow"
                width: parent.width
                visible: controls.studioRow.length > 0
                title: controls.studioTitle
                detail: controls.studioDetail
                leading: IconTile {
                    icon: controls.studioRow === "active" ? "fullScreen" : "warning"
                    dimension: 36
                    tint: controls.studioRow === "active" ? Design.colors.success
                                                          : Design.colors.destructive
                }
                trailing: PillButtonStyle {
                    objectName: "studioButton"
                    role: "soft"
                    text: controls.studioButton
                    Accessible.name: controls.studioRow === "active" ? qsTr("Stop sharing")
                                                                     : text
                    onClicked: controls.studioAction()
                }
            }

            InsetDivider {}

            MacInputToggle {
                width: parent.width
                model: controls
            }

            RowLayout {
                x: 10
                width: parent.width - 20
                height: implicitHeight + 20
                spacing: 8

                PillButtonStyle {
                    id: testPen

                    objectName: "testPen"
                    role: "soft"
                    expand: true
                    Layout.preferredWidth: 1
                    text: qsTr("Test Pen")
                    contentItem: Item {
                        implicitWidth: penLabel.implicitWidth
                        implicitHeight: penLabel.implicitHeight

                        IconLabel {
                            id: penLabel

                            anchors.centerIn: parent
                            text: testPen.text
                            icon: "draw"
                            font: testPen.font
                            color: testPen.foreground
                        }
                    }
                    onClicked: controls.openWindow("pencil-test")
                }

                PillButtonStyle {
                    objectName: "disconnect"
                    role: "destructive"
                    expand: true
                    Layout.preferredWidth: 1
                    text: qsTr("Disconnect")
                    onClicked: controls.disconnect()
                }
            }
        }
    }

    component MenuRows: Column {
        spacing: 0

        DesignPressStyle {
            objectName: "updateBanner"
            width: parent.width
            visible: controls.updateBanner.length > 0
            height: visible ? implicitHeight + 4 : 0
            onClicked: controls.checkForUpdates()
            contentItem: Item {
                implicitHeight: 34

                Rectangle {
                    objectName: "updateBannerFill"
                    width: parent.width
                    height: 34
                    radius: 8
                    color: Design.colors.accent

                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 8
                        anchors.rightMargin: 8
                        spacing: 10

                        Item {
                            implicitWidth: 22
                            implicitHeight: 16

                            IconView {
                                anchors.centerIn: parent
                                icon: "refresh"
                                size: 16
                                color: Design.colors.onAccent
                            }
                        }

                        DText {
                            Layout.fillWidth: true
                            text: controls.updateBanner
                            font: PadType.subheadlineSemibold
                            color: Design.colors.onAccent
                            elide: Text.ElideRight
                        }

                        DText {
                            text: qsTr("Install…")
                            font: PadType.footnoteSemibold
                            color: Design.colors.onAccent
                            opacity: 0.85
                        }
                    }
                }
            }
        }

        MacMenuRowStyle {
            objectName: "openRememberedDevices"
            width: parent.width
            iconName: "tablet"
            opensWindow: true
            text: qsTr("Remembered devices…")
            onClicked: controls.openWindow("remembered-devices")
        }

        MacMenuRowStyle {
            objectName: "openSettings"
            width: parent.width
            iconName: "adjust"
            opensWindow: true
            text: qsTr("Settings…")
            onClicked: controls.openWindow("settings")
        }

        MacMenuRowStyle {
            objectName: "checkForUpdates"
            width: parent.width
            visible: controls.checkForUpdatesVisible
            enabled: controls.checkForUpdatesEnabled
            iconName: "refresh"
            text: qsTr("Check for Updates…")
            onClicked: controls.checkForUpdates()
        }

        Item {
            width: parent.width
            height: 9

            Rectangle {
                x: 8
                y: 4
                width: parent.width - 16
                height: 1
                color: Design.colors.rule
            }
        }

        RowLayout {
            x: 8
            width: parent.width - 16
            height: Math.max(30, implicitHeight)

            IconLabel {
                text: qsTr("Local, encrypted")
                icon: "secure"
                font: PadType.caption
                color: Design.colors.secondaryText
            }

            Item {
                Layout.fillWidth: true
            }

            DesignPlainButtonStyle {
                objectName: "quitButton"
                text: qsTr("Quit Quillory")
                font: PadType.subheadline
                foreground: Design.colors.secondaryText
                onClicked: controls.quit()
            }
        }
    }
}
