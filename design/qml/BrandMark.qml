import QtQuick
import QuilloryDesign

// The product's mark in the theme's text colour, fitted into the item.
MarkImage {
    color: Design.colors.primaryText
    Accessible.ignored: true
}
