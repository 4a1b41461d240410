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

    readonly property var loginItem: session && session.shell ? session.shell.loginItem : null
    readonly property var updates: session && session.shell ? session.shell.updates : null

    objectName: "settings"
    width: 500

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

        trailing: PillButtonStyle {
            objectName: "updatePill"
            visible: view.updates !== null && view.updates.available
            enabled: settingsModel.updatePillEnabled
            role: "soft"
            text: settingsModel.updatePillText
            onClicked: settingsModel.updatePillClicked()

            DesignToolTip {
                visible: parent.hovered
                text: settingsModel.lastCheckedText
            }
        }
    }

    ColumnLayout {
        x: 16
        width: parent.width - 32
        spacing: 16

        Item { Layout.preferredHeight: 0 }

        SectionCard {
            title: qsTr("General")

            PadRow {
                objectName: "loginRow"
                Layout.fillWidth: true
                title: qsTr("Open at login")
                detail: qsTr("Quillory starts when you log in")
                leading: SymbolTile { symbol: "power"; on: view.loginItem !== null && view.loginItem.enabled }
                trailing: DesignSwitch {
                    objectName: "loginSwitch"
                    name: qsTr("Open at login")
                    checked: view.loginItem !== null && view.loginItem.enabled
                    onToggled: value => view.loginItem.setEnabled(value)
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

            PadRow {
                objectName: "updatesOff"
                Layout.fillWidth: true
                visible: view.updates === null || !view.updates.available
                title: qsTr("Updates are off")
                detail: qsTr("This build of Quillory doesn’t check for updates")
                leading: SymbolTile { symbol: "arrow.triangle.2.circlepath"; on: false }
            }

            PadRow {
                objectName: "automaticChecks"
                Layout.fillWidth: true
                visible: view.updates !== null && view.updates.available
                title: qsTr("Check automatically")
                detail: qsTr("Once a day")
                leading: SymbolTile {
                    symbol: "arrow.triangle.2.circlepath"
                    on: view.updates !== null && view.updates.automaticChecks
                }
                trailing: DesignSwitch {
                    name: qsTr("Check automatically")
                    checked: view.updates !== null && view.updates.automaticChecks
                    onToggled: value => view.updates.automaticChecks = value
                }
            }

            PadRow {
                objectName: "automaticInstalls"
                Layout.fillWidth: true
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

            PadRow {
                objectName: "accessibilityRow"
                Layout.fillWidth: true
                title: qsTr("Accessibility")
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

            PadRow {
                objectName: "screenRecordingRow"
                Layout.fillWidth: true
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
            Layout.alignment: Qt.AlignHCenter
            spacing: 8

            DesignPlainButtonStyle {
                objectName: "acknowledgements"
                text: qsTr("Acknowledgements")
                enabled: false  // the notices window is not built yet
            }

            DesignPlainButtonStyle {
                objectName: "support"
                text: qsTr("Support")
                onClicked: Qt.openUrlExternally(settingsModel.supportUrl)
            }

            DesignPlainButtonStyle {
                objectName: "privacy"
                text: qsTr("Privacy")
                onClicked: Qt.openUrlExternally(settingsModel.privacyUrl)
            }
        }

        Item { Layout.preferredHeight: 0 }
    }

    component SectionCard: PadCard {
        id: section

        property string title
        default property alias rows: rowColumn.data

        Layout.fillWidth: true
        radius: 18
        padding: 2

        ColumnLayout {
            id: rowColumn

            width: parent.width
            spacing: 0

            PadSectionHeader {
                Layout.fillWidth: true
                title: section.title
            }
        }
    }

    component SymbolTile: Rectangle {
        property string symbol
        property bool on: false
        property var tone: on ? Design.colors.accent : undefined

        implicitWidth: 36
        implicitHeight: 36
        radius: 10
        color: tone !== undefined ? tone : Design.colors.neutralFill

        IconImage {
            anchors.centerIn: parent
            width: 18
            height: 18
            symbol: parent.symbol
            // White on a tint; the text colour on the neutral fill, so it shows in light themes.
            color: parent.tone !== undefined ? "white" : Design.colors.primaryText
        }
    }

    component Trailing: Loader {
        property string kind
        signal allow()

        sourceComponent: kind === "reopen" ? reopenButton
                         : kind === "allowed" ? allowedBadge : allowButton
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
                icon: "confirmed"
                iconSize: 14
                color: Design.colors.success
                font.pixelSize: 12
                font.weight: Font.DemiBold
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
