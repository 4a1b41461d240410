import QtQuick
import QtQuick.Layouts
import QuilloryDesign

// A labelled picker row of the gallery: the title, then the picker (its child).
RowLayout {
    property string title

    spacing: 12

    DText {
        Layout.preferredWidth: 80
        text: parent.title
        font: DesignTypography.body
        color: Design.colors.secondaryText
    }
}
