import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QuilloryDesign
import QuilloryInterface

// The acknowledgements: the licence notice of every library the program links and of the font
// and icons it ships, each read again whenever the window is shown. A modal dialog over the
// window that opens it (its transient parent); "Done" and Return close it.
Window {
    id: window

    property alias folder: notices.folder
    property alias notices: notices

    objectName: "acknowledgementsWindow"
    title: qsTr("Acknowledgements")
    flags: Qt.Dialog
    modality: Qt.WindowModal
    width: 520
    height: 460
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    color: Design.colors.background

    onVisibleChanged: if (visible) notices.reload()

    NoticesModel {
        id: notices
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 24
        spacing: 12

        DText {
            text: qsTr("Acknowledgements")
            font: DesignTypography.title
        }

        // Only the notices on screen are laid out: some licence texts are long.
        ListView {
            id: list

            objectName: "noticeList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 18
            model: notices
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {
                id: scrollBar

                policy: ScrollBar.AlwaysOn
            }

            delegate: Column {
                required property string title
                required property string text

                width: ListView.view.width - scrollBar.width - 4
                spacing: 6

                DText {
                    objectName: "noticeTitle"
                    width: parent.width
                    text: parent.title
                    font: PadType.headline
                    wrapMode: Text.Wrap
                }

                TextEdit {
                    objectName: "noticeText"
                    width: parent.width
                    text: parent.text
                    textFormat: TextEdit.PlainText
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    font.family: notices.monospaceFamily
                    font.pixelSize: PadType.caption.pixelSize
                    color: Design.colors.secondaryText
                    selectionColor: Design.colors.accent
                    selectedTextColor: Design.colors.onAccent
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true

            Item { Layout.fillWidth: true }

            PillButtonStyle {
                objectName: "noticesDone"
                role: "primary"
                text: qsTr("Done")
                onClicked: window.close()
            }
        }
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        context: Qt.WindowShortcut
        onActivated: window.close()
    }
}
