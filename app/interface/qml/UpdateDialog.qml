import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloryDesign
import QuilloryInterface

// The update dialog's content: what is offered against what runs, the release notes (plain text
// from the feed), the download's progress, an error, or "You're up to date.".
CardWindowBody {
    id: dialog

    required property UpdateDialogModel model

    readonly property bool offering: model.stageName === "update"
    readonly property bool downloading: model.stageName === "downloading"
    readonly property bool failed: model.stageName === "error"
    readonly property bool upToDate: model.stageName === "upToDate"

    objectName: "updateDialog"
    width: 440
    radius: 24

    ColumnLayout {
        width: dialog.width
        spacing: 14

        Item { implicitHeight: 10 }

        RowLayout {
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            spacing: 12

            BrandMark {
                Layout.preferredWidth: 44
                Layout.preferredHeight: 44
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2

                DText {
                    objectName: "updateTitle"
                    Layout.fillWidth: true
                    wrapMode: Text.Wrap
                    font: DesignTypography.title3
                    text: dialog.upToDate ? qsTr("You're up to date.")
                        : dialog.failed ? qsTr("The update didn’t work")
                        : qsTr("A new version of Quillory is available")
                }

                DText {
                    objectName: "updateVersions"
                    Layout.fillWidth: true
                    wrapMode: Text.Wrap
                    font: PadType.subheadline
                    color: Design.colors.secondaryText
                    // Versions are dotted numbers (the feed's other forms are dropped).
                    text: dialog.upToDate
                        ? qsTr("Quillory %1 is the newest version.").arg(dialog.model.runningVersion)
                        : qsTr("Quillory %1 is available; you have %2.")
                            .arg(dialog.model.version).arg(dialog.model.runningVersion)
                }
            }
        }

        ScrollView {
            objectName: "updateNotes"
            visible: dialog.offering || dialog.downloading
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.preferredHeight: Math.min(notesText.implicitHeight, 180)
            clip: true
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff

            background: Rectangle {
                radius: 12
                color: Design.colors.controlFill
            }

            DText {
                id: notesText

                objectName: "updateNotesText"
                width: dialog.width - 48 - 24
                x: 12
                topPadding: 12
                bottomPadding: 12
                wrapMode: Text.Wrap
                font: PadType.subheadline
                text: dialog.model.notes.length > 0 ? dialog.model.notes
                                                    : qsTr("No release notes.")
            }
        }

        Rectangle {
            objectName: "updateProgress"
            visible: dialog.downloading
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            implicitHeight: 6
            radius: 3
            color: Design.colors.rule

            Rectangle {
                height: parent.height
                radius: 3
                width: parent.width * Math.max(0, dialog.model.progress)
                color: Design.colors.accent
            }
        }

        DesignNotice {
            objectName: "updateError"
            visible: dialog.failed
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            message: dialog.model.error
        }

        RowLayout {
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            spacing: 10

            DText {
                visible: dialog.downloading
                Layout.fillWidth: true
                font: PadType.caption
                color: Design.colors.secondaryText
                text: qsTr("Downloading…")
            }

            Item {
                visible: !dialog.downloading
                Layout.fillWidth: true
            }

            PillButtonStyle {
                objectName: "updateLater"
                visible: dialog.offering
                role: "soft"
                text: qsTr("Later")
                onClicked: dialog.model.dismiss()
            }

            PillButtonStyle {
                objectName: "updatePrimary"
                visible: !dialog.downloading
                role: "primary"
                text: dialog.offering ? (dialog.model.installable ? qsTr("Install and Relaunch")
                                                                  : qsTr("Download…"))
                                      : qsTr("OK")
                onClicked: {
                    if (!dialog.offering)
                        dialog.model.dismiss()
                    else if (dialog.model.installable)
                        dialog.model.install()
                    else
                        dialog.model.openDownloadPage()
                }
            }
        }

        Item { implicitHeight: 10 }
    }
}
