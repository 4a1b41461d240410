import QtQuick
import QuilloryDesign

// One icon role drawn from the theme's icon family, `size` points square, growing with the
// text scale. Hidden from assistive technology: the text beside it carries the meaning.
IconImage {
    property real size: 20

    implicitWidth: size * Appearance.textScale
    implicitHeight: size * Appearance.textScale
    family: Design.iconFamily
    color: Design.colors.primaryText
    Accessible.ignored: true
}
