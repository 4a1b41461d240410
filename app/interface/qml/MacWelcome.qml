import QtQuick
import QuilloryDesign
import QuilloryInterface

// The "welcome" card: where Quillory lives, the two permissions, then connecting the tablet
// with the login and update choices. The hero sits above the copy, the controls of the step and
// the footer with the step markers, "Back" and the primary button (Return). "Skip", Escape and
// the primary button on the last step end onboarding; ending on the last step applies the login
// choice shown there.
CardWindowBody {
    id: view

    property SessionFacade session
    property QtObject actions
    property alias onboarding: flow
    readonly property var updates: session && session.shell ? session.shell.updates : null
    readonly property int cardRadius: 34
    readonly property bool updatesAvailable: updates !== null && updates.available

    objectName: "welcome"
    implicitWidth: 620
    implicitHeight: 604
    width: implicitWidth
    height: implicitHeight

    OnboardingModel {
        id: flow

        session: view.session
        shown: view.visible && view.Window.window !== null && view.Window.window.visible
        onCloseRequested: if (view.actions) view.actions.close()
        onFinishRequested: if (view.actions) view.actions.finish()
    }

    // Springs a step's content in: 0 hidden, 1 shown.
    component StepPresence: Item {
        property bool current: false
        property real presence: current ? 1 : 0

        opacity: presence
        visible: presence > 0.001

        SpringBehavior on presence { motion: Motion.gentle }
    }

    // A step's title and subtitle.
    component CopyTexts: Column {
        property string title
        property string subtitle
        property string titleName
        property string subtitleName

        y: 30
        width: parent.width
        spacing: 8

        DText {
            objectName: parent.titleName
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: parent.title
            font: DesignTypography.title
            wrapMode: Text.Wrap
        }

        DText {
            objectName: parent.subtitleName
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(440, parent.width)
            horizontalAlignment: Text.AlignHCenter
            text: parent.subtitle
            font.family: PadType.body.family
            font.pixelSize: 14 * Appearance.textScale
            color: Design.colors.secondaryText
            wrapMode: Text.Wrap
        }
    }

    WelcomeHero {
        id: hero

        width: view.width
        model: flow
        onSkip: flow.skip()
    }

    Item {
        id: bottom

        width: view.width
        height: view.height - hero.height

        Item {
            id: copy

            property real presence: 1
            // The texts on show; new ones fade in while the ones they replace fade out.
            property string shown
            property string leavingTitle
            property string leavingSubtitle

            objectName: "welcomeCopy"
            x: 28
            width: parent.width - 56
            height: 122

            Component.onCompleted: shown = flow.title + "\n" + flow.subtitle

            Connections {
                target: flow

                function onTextsChanged() {
                    const texts = flow.title + "\n" + flow.subtitle
                    if (texts === copy.shown)
                        return
                    const split = copy.shown.indexOf("\n")
                    copy.leavingTitle = copy.shown.slice(0, split)
                    copy.leavingSubtitle = copy.shown.slice(split + 1)
                    copy.shown = texts
                    if (!Appearance.reduceMotion) {
                        copyBehavior.enabled = false
                        copy.presence = 0
                        copyBehavior.enabled = true
                        copy.presence = 1
                    }
                }
            }

            Behavior on presence {
                id: copyBehavior

                SpringAnimation {
                    spring: Motion.gentle.spring
                    damping: Motion.gentle.damping
                    mass: Motion.gentle.mass
                    epsilon: 0.001
                }
            }

            CopyTexts {
                objectName: "welcomeLeavingCopy"
                opacity: 1 - copy.presence
                visible: opacity > 0.001
                title: copy.leavingTitle
                subtitle: copy.leavingSubtitle
                Accessible.ignored: true
            }

            CopyTexts {
                opacity: copy.presence
                title: flow.title
                subtitle: flow.subtitle
                titleName: "welcomeTitle"
                subtitleName: "welcomeSubtitle"
            }
        }

        Item {
            id: controls

            objectName: "welcomeControls"
            x: 28
            y: copy.height + 18
            width: parent.width - 56
            height: 44

            StepPresence {
                anchors.fill: parent
                current: flow.stepIndex === 1

                Row {
                    objectName: "permissionChips"
                    anchors.centerIn: parent
                    spacing: 10

                    PermissionChip {
                        objectName: "accessibilityChip"
                        title: qsTr("Desktop control access")
                        granted: flow.accessibility
                        onRequest: flow.allowAccessibility()
                    }

                    PermissionChip {
                        objectName: "screenRecordingChip"
                        title: qsTr("Screen Recording")
                        granted: flow.screenRecording
                        onRequest: flow.allowScreenRecording()
                    }
                }
            }

            StepPresence {
                anchors.fill: parent
                current: flow.stepIndex === 2

                Row {
                    objectName: "optionChips"
                    anchors.centerIn: parent
                    spacing: 10

                    OptionChipStyle {
                        objectName: "openAtLoginChip"
                        anchors.verticalCenter: parent.verticalCenter
                        text: qsTr("Open at login")
                        on: flow.openAtLogin
                        onClicked: flow.openAtLogin = !flow.openAtLogin
                    }

                    OptionChipStyle {
                        objectName: "updatesChip"
                        anchors.verticalCenter: parent.verticalCenter
                        visible: view.updatesAvailable
                        text: qsTr("Check for updates")
                        on: view.updates !== null && view.updates.automaticChecks
                        onClicked: view.updates.automaticChecks = !view.updates.automaticChecks
                    }
                }
            }
        }

        Item {
            id: footer

            objectName: "welcomeFooter"
            x: 28
            y: parent.height - 24 - height
            width: parent.width - 56
            height: 44

            Row {
                objectName: "stepMarkers"
                anchors.verticalCenter: parent.verticalCenter
                spacing: 6
                Accessible.ignored: true

                Repeater {
                    model: 3

                    Rectangle {
                        required property int index
                        readonly property bool current: index === flow.stepIndex
                        property real wide: current ? 1 : 0

                        objectName: "stepMarker" + index
                        width: 6 + 12 * wide
                        height: 6
                        radius: 3
                        color: current ? Design.colors.accent : Design.colors.rule
                        Accessible.ignored: true

                        SpringBehavior on wide { motion: Motion.gentle }
                    }
                }
            }

            Row {
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: 8

                PillButtonStyle {
                    objectName: "backButton"
                    visible: flow.stepIndex !== 0
                    role: "soft"
                    text: qsTr("Back")
                    onClicked: flow.goBack()
                }

                PillButtonStyle {
                    objectName: "primaryButton"
                    implicitWidth: Math.max(112, implicitContentWidth) + leftPadding + rightPadding
                    role: "primary"
                    text: flow.primaryTitle
                    onClicked: flow.advance()
                }
            }
        }
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        context: Qt.WindowShortcut
        onActivated: flow.advance()
    }
}
