import QtQuick
import QtQuick.Layouts
import QuilloryDesign
import QuilloryInterface

// The blue band at the top of a card window: title and selectable subtitle in white, an
// optional tilted picture at the top trailing corner, an optional trailing item beside the text
// and the round close button. Bands lower than 100 points use the compact layout. The top
// corners follow the window's radius: the gradient is drawn taller with rounded corners and the
// band clips off its lower half, which needs no effect (effects vanish in software rendering).
Item {
    id: header

    property string title
    property string subtitle
    property string art
    property real cornerRadius: 34
    property alias trailing: trailingHolder.data

    readonly property bool compact: height < 100

    signal close()

    objectName: "cardHeader"
    implicitHeight: 100
    clip: true

    Rectangle {
        objectName: "headerBand"
        width: parent.width
        height: parent.height + header.cornerRadius
        radius: header.cornerRadius
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.rgba(0.36, 0.49, 1.0, 1) }
            GradientStop {
                position: header.height / (header.height + header.cornerRadius)
                color: Qt.rgba(0.16, 0.30, 0.95, 1)
            }
        }
    }

    // The picture's own outline, tilted with it and cast 10 points down.
    GaussianShadow {
        objectName: "headerArtShadow"
        visible: headerArt.visible
        source: headerArt.source
        blur: 14
        color: Qt.rgba(0.05, 0.1, 0.5, 0.35)
        x: headerArt.x - padding
        y: headerArt.y - padding + 10
        width: headerArt.width + 2 * padding
        height: headerArt.height + 2 * padding
        rotation: headerArt.rotation
    }

    Image {
        id: headerArt

        objectName: "headerArt"
        source: CardArt.source(header.art)
        visible: status === Image.Ready
        width: header.height
        height: header.height
        sourceSize: Qt.size(2 * header.height, 2 * header.height)
        fillMode: Image.PreserveAspectFit
        smooth: true
        rotation: -8
        x: header.width - width - 64
        y: 0.12 * header.height
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 24
        anchors.rightMargin: header.compact ? 60 : 24
        anchors.bottomMargin: header.compact ? 0 : 20

        ColumnLayout {
            Layout.alignment: header.compact ? Qt.AlignVCenter : Qt.AlignBottom
            Layout.fillWidth: true
            spacing: 3

            DText {
                objectName: "headerTitle"
                Layout.fillWidth: true
                text: header.title
                font: header.compact ? DesignTypography.title3 : DesignTypography.title
                color: "white"
                wrapMode: Text.Wrap
            }

            TextEdit {
                objectName: "headerSubtitle"
                Layout.fillWidth: true
                text: header.subtitle
                textFormat: TextEdit.PlainText
                readOnly: true
                selectByMouse: true
                wrapMode: TextEdit.Wrap
                font.family: PadType.body.family
                font.pixelSize: (header.compact ? 12 : 13) * Appearance.textScale
                color: Qt.rgba(1, 1, 1, 0.8)
                selectionColor: Qt.rgba(1, 1, 1, 0.3)
                selectedTextColor: "white"
            }
        }

        Item {
            id: trailingHolder

            Layout.alignment: header.compact ? Qt.AlignVCenter : Qt.AlignBottom
            implicitWidth: childrenRect.width
            implicitHeight: childrenRect.height
        }
    }

    DesignPressStyle {
        objectName: "headerClose"
        x: header.width - width - 20
        y: 20
        Accessible.name: qsTr("Close")
        onClicked: header.close()
        contentItem: Rectangle {
            implicitWidth: 28
            implicitHeight: 28
            radius: 14
            color: Qt.rgba(1, 1, 1, 0.16)
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.22)

            IconImage {
                anchors.centerIn: parent
                width: 11
                height: 11
                symbol: "xmark"
                color: Qt.rgba(1, 1, 1, 0.9)
            }
        }
    }

    Shortcut {
        sequence: "Escape"
        context: Qt.WindowShortcut
        onActivated: header.close()
    }
}
