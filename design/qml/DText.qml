import QtQuick
import QuilloryDesign

// Text as the theme sets it when a view sets nothing of its own: the body face at 16 points
// (scaled), the palette's primary text colour, and plain text, so names from the network can
// never be read as markup.
Text {
    font: DesignTypography.body
    color: Design.colors.primaryText
    textFormat: Text.PlainText
}
