import QtQuick
import QtQuick.Layouts
import QuilloryDesign
import QuilloryInterface

// The "settings" card: the version and the update pill in the header, then General (open at
// login), Updates, Permissions and the footer links. Permissions are read while it is shown.
CardWindowBody {
    id: view

    property SessionFacade session
    property QtObject actions
    property alias settings: settingsModel
    // Where the acknowledgements are read from; tests and screenshots point it elsewhere.
    property string noticesFolder: ":/acknowledgements"
    // The acknowledgements window is open.
    property bool notices: false

    property var loginItem: session && session.shell ? session.shell.loginItem : null
    readonly property var updates: session && session.shell ? session.shell.updates : null
    readonly property var noticesWindow: noticesLoader.item

    objectName: "settings"
    width: 500

    // The login item is read when the window appears and when the application becomes active.
    Component.onCompleted: if (loginItem) loginItem.refresh()

    SettingsModel {
        id: settingsModel

        session: view.session
        active: view.visible && view.Window.window !== null && view.Window.window.visible
    }

    QuilloryCardHeader {
        width: parent.width
        height: 150
        title: qsTr("Settings")
        subtitle: qsTr("Quillory %1").arg(settingsModel.version)
        art: "clay-vorel"
        onClose: if (view.actions) view.actions.close()

        trailing: HeaderPillStyle {
            objectName: "updatePill"
            visible: view.updates !== null && view.updates.available
            enabled: settingsModel.updatePillEnabled
            text: settingsModel.updatePillText
            onClicked: settingsModel.updatePillClicked()

            DesignToolTip {
                visible: parent.pointerHovered
                text: settingsModel.lastCheckedText
            }
        }
    }

    ColumnLayout {
        objectName: "settingsSections"
        x: 16
        width: parent.width - 32
        spacing: 14

        // The sections are padded 16 points from the header.
        Item { Layout.preferredHeight: 16 - parent.spacing }

        SectionCard {
            title: qsTr("General")

            SettingRow {
                id: loginRow

                objectName: "loginRow"
                Layout.fillWidth: true
                stateValue: view.loginItem !== null && view.loginItem.enabled
                readonly property bool approval: view.loginItem !== null
                                                 && view.loginItem.needsApproval
                title: qsTr("Open at login")
                detail: approval ? qsTr("Waiting for approval in Login Items")
                                 : qsTr("Ready whenever you sit down to draw")
                // An item waiting for approval counts as enabled.
                leading: SymbolTile {
                    symbol: "power"
                    on: view.loginItem !== null && (view.loginItem.enabled || view.loginItem.needsApproval)
                }
                trailing: Loader {
                    sourceComponent: loginRow.approval ? approveButton : loginSwitch
                }
            }
        }

        DesignNotice {
            objectName: "loginError"
            visible: view.loginItem !== null && view.loginItem.error.length > 0
            message: view.loginItem ? view.loginItem.error : ""
        }

        SectionCard {
            title: qsTr("Updates")

            SettingRow {
                objectName: "updatesOff"
                Layout.fillWidth: true
                visible: view.updates === null || !view.updates.available
                title: qsTr("Updates are off in this build")
                detail: qsTr("Builds from %1 update themselves").arg(settingsModel.websiteDomain)
                leading: SymbolTile { symbol: "arrow.triangle.2.circlepath"; on: false }
            }

            SettingRow {
                objectName: "automaticChecks"
                Layout.fillWidth: true
                stateValue: view.updates !== null && view.updates.automaticChecks
                visible: view.updates !== null && view.updates.available
                title: qsTr("Check automatically")
                detail: qsTr("Once a day, from %1").arg(settingsModel.websiteDomain)
                leading: SymbolTile {
                    symbol: "arrow.triangle.2.circlepath"
                    on: view.updates !== null && view.updates.automaticChecks
                }
                trailing: DesignSwitch {
                    objectName: "automaticChecksSwitch"
                    name: qsTr("Check automatically")
                    checked: view.updates !== null && view.updates.automaticChecks
                    onToggled: value => view.updates.automaticChecks = value
                }
            }

            RowDivider { visible: view.updates !== null && view.updates.available }

            SettingRow {
                objectName: "automaticInstalls"
                Layout.fillWidth: true
                stateValue: view.updates !== null && view.updates.automaticInstalls
                visible: view.updates !== null && view.updates.available
                title: qsTr("Install automatically")
                detail: view.updates !== null && view.updates.automaticInstalls
                        ? qsTr("Installed the next time you quit") : qsTr("Quillory asks first")
                leading: SymbolTile {
                    symbol: "arrow.down"
                    on: view.updates !== null && view.updates.automaticInstalls
                }
                trailing: DesignSwitch {
                    objectName: "automaticInstallsSwitch"
                    enabled: view.updates !== null && view.updates.automaticChecks
                    name: qsTr("Install automatically")
                    checked: view.updates !== null && view.updates.automaticInstalls
                    onToggled: value => view.updates.automaticInstalls = value
                }
            }
        }

        SectionCard {
            title: qsTr("Permissions")

            // Accessibility is what this desktop calls desktop control access.
            SettingRow {
                objectName: "accessibilityRow"
                Layout.fillWidth: true
                stateValue: settingsModel.permissions.accessibility
                title: qsTr("Desktop control access")
                detail: qsTr("Lets your Pencil draw in your apps")
                leading: SymbolTile {
                    symbol: "hand.point.up.left.fill"
                    tone: settingsModel.permissions.accessibility ? Design.colors.success
                                                                   : Design.colors.warning
                }
                trailing: Trailing {
                    kind: settingsModel.accessibilityTrailing
                    onAllow: settingsModel.permissions.allowAccessibility()
                }
            }

            RowDivider {}

            SettingRow {
                objectName: "screenRecordingRow"
                Layout.fillWidth: true
                stateValue: settingsModel.screenRecordingTrailing
                title: qsTr("Screen Recording")
                detail: settingsModel.permissions.needsRelaunch ? qsTr("Reopen Quillory to finish")
                                                                : qsTr("Only for Studio")
                leading: SymbolTile {
                    symbol: "rectangle.on.rectangle"
                    tone: settingsModel.permissions.screenRecording ? Design.colors.success
                                                                     : Design.colors.warning
                }
                trailing: Trailing {
                    kind: settingsModel.screenRecordingTrailing
                    onAllow: settingsModel.permissions.allowScreenRecording()
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 6
            Layout.rightMargin: 6
            Layout.topMargin: 2
            spacing: 16

            FooterLink {
                objectName: "acknowledgements"
                text: qsTr("Acknowledgements")
                onClicked: view.notices = true
            }

            FooterLink {
                objectName: "support"
                text: qsTr("Support")
                onClicked: Qt.openUrlExternally(settingsModel.supportUrl)
            }

            FooterLink {
                objectName: "privacy"
                text: qsTr("Privacy")
                onClicked: Qt.openUrlExternally(settingsModel.privacyUrl)
            }

            Item { Layout.fillWidth: true }
        }

        // 16 points below the footer, and 4 more.
        Item { Layout.preferredHeight: 16 + 4 - parent.spacing }
    }

    // A separate modal window: the 520-wide acknowledgements do not fit inside this card.
    Loader {
        id: noticesLoader

        active: view.notices
        sourceComponent: MacNotices {
            transientParent: view.Window.window
            folder: view.noticesFolder
            x: transientParent ? transientParent.x + (transientParent.width - width) / 2 : 0
            y: transientParent ? transientParent.y + 40 : 0
            visible: true
            onVisibleChanged: if (!visible) view.notices = false
        }
    }

    component SectionCard: ColumnLayout {
        id: section

        property string title
        default property alias rows: rowColumn.data

        Layout.fillWidth: true
        spacing: 6

        DText {
            Layout.leftMargin: 12
            text: section.title.toUpperCase()
            font: Qt.font({ family: PadType.footnoteSemibold.family, pixelSize: 11,
                            weight: Font.DemiBold, letterSpacing: 0.6 })
            color: Design.colors.secondaryText
            Accessible.role: Accessible.Heading
        }

        Rectangle {
            objectName: "sectionCard"
            Layout.fillWidth: true
            implicitHeight: rowColumn.implicitHeight
            radius: 18
            color: Design.colors.surface
            border.width: 1
            border.color: Qt.rgba(Design.colors.neutral.r, Design.colors.neutral.g,
                                  Design.colors.neutral.b, 0.6 * Design.colors.neutral.a)

            ColumnLayout {
                id: rowColumn

                width: parent.width
                spacing: 0
            }
        }
    }

    // A row of a card: tile, title over detail, trailing control. What a change of the row's state
    // alters (tile colour, detail, trailing control) eases in on the snappy spring.
    component SettingRow: Item {
        id: settingRow

        property string title
        property string detail
        property alias leading: leadingHolder.data
        property alias trailing: trailingHolder.data
        // The value the row shows; a change replays the detail's entrance.
        property var stateValue
        // Rises from 0 to 1 after each change of the state.
        property real settled: 1

        property bool ready: false

        function replay() {
            if (!ready || !Motion.enabled)
                return
            settledBehavior.enabled = false
            settled = 0
            settledBehavior.enabled = true
            settled = 1
        }

        implicitWidth: row.implicitWidth + 24
        implicitHeight: row.implicitHeight + 24
        onStateValueChanged: replay()
        Component.onCompleted: ready = true

        Behavior on settled {
            id: settledBehavior

            SpringAnimation {
                spring: Motion.snappy.spring
                damping: Motion.snappy.damping
                mass: Motion.snappy.mass
                epsilon: 0.001
            }
        }

        RowLayout {
            id: row

            anchors.fill: parent
            anchors.margins: 12
            spacing: 12

            Item {
                id: leadingHolder

                implicitWidth: children.length > 0 ? children[0].implicitWidth : 0
                implicitHeight: children.length > 0 ? children[0].implicitHeight : 0
                visible: children.length > 0
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2

                DText {
                    objectName: "rowTitle"
                    Layout.fillWidth: true
                    text: settingRow.title
                    font: Qt.font({ family: PadType.bodySemibold.family,
                                    pixelSize: 14 * Appearance.textScale, weight: Font.DemiBold })
                    color: Design.colors.primaryText
                    wrapMode: Text.Wrap
                }

                DText {
                    objectName: "rowDetail"
                    Layout.fillWidth: true
                    visible: settingRow.detail.length > 0
                    text: settingRow.detail
                    font: Qt.font({ family: PadType.body.family,
                                    pixelSize: 12 * Appearance.textScale })
                    color: Design.colors.secondaryText
                    wrapMode: Text.Wrap
                    opacity: settingRow.settled
                }
            }

            Item {
                id: trailingHolder

                Layout.leftMargin: 8
                implicitWidth: children.length > 0 ? children[0].implicitWidth : 0
                implicitHeight: children.length > 0 ? children[0].implicitHeight : 0
                visible: children.length > 0
            }
        }
    }

    component RowDivider: Rectangle {
        Layout.fillWidth: true
        Layout.leftMargin: 54
        implicitHeight: 1
        color: Qt.rgba(Design.colors.rule.r, Design.colors.rule.g, Design.colors.rule.b,
                       0.6 * Design.colors.rule.a)
    }

    component FooterLink: DesignPlainButtonStyle {
        font: Qt.font({ family: PadType.calloutSemibold.family, pixelSize: 12,
                        weight: Font.Medium })
        foreground: Design.colors.secondaryText
    }

    component SymbolTile: Rectangle {
        id: tile

        property string symbol
        property bool on: false
        property var tone: on ? Design.colors.accent : undefined
        readonly property color target: tone !== undefined ? tone : Design.colors.neutralFill
        // The colour a change starts from, and how far the tile has gone from it (0 to 1).
        property color from: target
        property real blend: 1

        implicitWidth: 30
        implicitHeight: 30
        radius: 6
        color: Qt.rgba(from.r + (target.r - from.r) * blend, from.g + (target.g - from.g) * blend,
                       from.b + (target.b - from.b) * blend, from.a + (target.a - from.a) * blend)

        onTargetChanged: {
            blendBehavior.enabled = false
            from = color
            blend = 0
            blendBehavior.enabled = Motion.enabled
            blend = 1
        }

        Behavior on blend {
            id: blendBehavior

            SpringAnimation {
                spring: Motion.snappy.spring
                damping: Motion.snappy.damping
                mass: Motion.snappy.mass
                epsilon: 0.001
            }
        }

        IconImage {
            anchors.centerIn: parent
            width: 16
            height: 16
            symbol: parent.symbol
            // White on a tint; the secondary text colour on the neutral fill.
            color: parent.tone !== undefined ? "white" : Design.colors.secondaryText
        }
    }

    // A control that takes another's place fades in on the snappy spring.
    component Trailing: Loader {
        id: trailingLoader

        property string kind
        property bool ready: false
        property real presence: 1
        signal allow()

        opacity: presence
        Component.onCompleted: ready = true
        onKindChanged: {
            if (!ready || !Motion.enabled)
                return
            presenceBehavior.enabled = false
            presence = 0
            presenceBehavior.enabled = true
            presence = 1
        }

        Behavior on presence {
            id: presenceBehavior

            SpringAnimation {
                spring: Motion.snappy.spring
                damping: Motion.snappy.damping
                mass: Motion.snappy.mass
                epsilon: 0.001
            }
        }

        sourceComponent: kind === "reopen" ? reopenButton
                         : kind === "allowed" ? allowedBadge : allowButton
    }

    Component {
        id: loginSwitch

        DesignSwitch {
            objectName: "loginSwitch"
            name: qsTr("Open at login")
            checked: view.loginItem !== null && view.loginItem.enabled
            onToggled: value => view.loginItem.setEnabled(value)
        }
    }

    // This desktop approves nothing: needsApproval stays false, so this never shows here.
    Component {
        id: approveButton

        PillButtonStyle {
            objectName: "approveLogin"
            role: "soft"
            text: qsTr("Approve…")
            onClicked: view.loginItem.refresh()
        }
    }

    Component {
        id: reopenButton

        PillButtonStyle {
            objectName: "reopen"
            role: "soft"
            text: qsTr("Reopen")
            onClicked: settingsModel.permissions.reopen()
        }
    }

    Component {
        id: allowedBadge

        Rectangle {
            objectName: "allowedBadge"
            implicitWidth: badgeRow.implicitWidth + 20
            implicitHeight: 26
            radius: 13
            color: Qt.rgba(Design.colors.success.r, Design.colors.success.g,
                           Design.colors.success.b, 0.12)

            IconLabel {
                id: badgeRow

                anchors.centerIn: parent
                text: qsTr("Allowed")
                symbol: "checkmark.circle.fill"
                iconSize: 14
                color: Design.colors.success
                font: PadType.calloutSemibold
            }
        }
    }

    Component {
        id: allowButton

        PillButtonStyle {
            objectName: "allow"
            role: "soft"
            text: qsTr("Allow…")
            onClicked: parent.allow()
        }
    }
}
