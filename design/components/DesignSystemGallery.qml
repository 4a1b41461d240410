import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QuilloryDesign

// Every control and component of the design system with sample content, on one scrolling page
// whose palette, icon family and material mode can be switched live.
ScrollView {
    id: gallery

    property string palette: "electricBlue"
    property string icons: "phosphor"
    property int mode: 0
    property string material: "automatic"

    readonly property var paletteNames: ["electricBlue", "graphite", "paper", "cobalt", "pine"]
    readonly property var paletteTitles: ["Electric Blue", "Graphite", "Paper / Vermilion",
                                          "Chalk / Cobalt", "Mist / Pine"]
    readonly property var iconNames: ["draw", "position", "adjust", "grid", "connection",
        "computer", "tablet", "next", "externalLink", "refresh", "clear", "close", "expand",
        "confirmed", "warning", "positioningStep", "drawingStep", "gesture", "more", "secure",
        "network", "latency", "fullScreen", "exitFullScreen", "undo", "redo", "pan", "picker",
        "eraser", "lock", "smaller", "larger", "straightLine", "keyboard", "save", "swapColors"]
    readonly property alias page: page

    Design.palette: palette
    Design.iconFamily: icons
    DesignControl.materialMode: material
    ScrollBar.vertical.policy: ScrollBar.AlwaysOn
    contentWidth: availableWidth
    background: Rectangle {
        color: Design.colors.background
    }

    ColumnLayout {
        id: page

        width: gallery.availableWidth - 64
        x: 32
        y: 32
        spacing: 28

        // Keeps 32 points below the last element inside the scrolled area.
        Component.onCompleted: gallery.contentHeight = Qt.binding(() => page.implicitHeight + 64)

        DText {
            text: "Quillory design system"
            font: DesignTypography.display38
        }

        GalleryPicker {
            title: "Palette"

            ComboBox {
                objectName: "palettePicker"
                model: gallery.paletteTitles
                currentIndex: gallery.paletteNames.indexOf(gallery.palette)
                onActivated: index => gallery.palette = gallery.paletteNames[index]
                implicitWidth: 200
                font: DesignTypography.body
                palette.button: Design.colors.controlFill
                palette.buttonText: Design.colors.primaryText
                palette.window: Design.colors.surface
                palette.base: Design.colors.surface
                palette.text: Design.colors.primaryText
                palette.windowText: Design.colors.primaryText
                palette.highlight: Design.colors.accent
                palette.highlightedText: Design.colors.onAccent
                palette.light: Design.colors.surface
                palette.mid: Design.colors.rule
                palette.dark: Design.colors.primaryText
            }
        }

        GalleryPicker {
            title: "Icons"

            GallerySegments {
                selection: gallery.icons
                options: [{ value: "phosphor", title: "Phosphor" },
                          { value: "systemSymbols", title: "System symbols" }]
                onActivated: value => gallery.icons = value
            }
        }

        GalleryPicker {
            title: "Material"

            GallerySegments {
                selection: gallery.material
                options: [{ value: "automatic", title: "Automatic" },
                          { value: "fallback", title: "Pre-26 fallback" },
                          { value: "opaque", title: "Opaque" }]
                onActivated: value => gallery.material = value
            }
        }

        DText {
            text: "Companion"
            font: DesignTypography.title
        }

        RowLayout {
            CompanionButtonStyle {
                objectName: "companionPrimary"
                text: "Primary action"
                primary: true
            }
            CompanionButtonStyle {
                text: "Secondary"
            }
            CompanionButtonStyle {
                text: "Disabled"
                primary: true
                enabled: false
            }
        }

        DText {
            text: "iPad"
            font: DesignTypography.title
        }

        RowLayout {
            spacing: 12

            PillButtonStyle {
                objectName: "pillConnect"
                text: "Connect"
                role: "primary"
            }
            PillButtonStyle {
                text: "Pair"
                role: "soft"
            }
            PillButtonStyle {
                text: "Disconnect"
                role: "destructive"
            }
            PillButtonStyle {
                text: "Disabled"
                role: "primary"
                enabled: false
            }
        }

        // The tile card: white with a dot grid, both kept inside its rounded corners (the
        // samples keep 24 points in from every edge).
        Rectangle {
            objectName: "tileCard"
            implicitWidth: tileRow.implicitWidth + 48
            implicitHeight: tileRow.implicitHeight + 48
            radius: 28
            color: "white"

            DotGrid {
                objectName: "tileDots"
                anchors.fill: parent
                radius: parent.radius
            }

            RowLayout {
                id: tileRow

                anchors.centerIn: parent
                spacing: 24

                VorelTile {
                    dimension: 72
                    searching: true
                }

                ColumnLayout {
                    spacing: 16

                    PadControl {
                        minimumHeight: 48

                        SegmentedSwitch {
                            objectName: "modeSwitch"
                            selection: gallery.mode
                            options: [{ value: 0, title: "Tablet" }, { value: 1, title: "Studio" }]
                            style: "accent"
                            segmentWidth: 104
                            segmentHeight: 38
                            onActivated: value => gallery.mode = value
                        }
                    }

                    PadControl {
                        minimumHeight: 48

                        Row {
                            spacing: 4

                            FloatingIconButtonStyle {
                                text: "Draw"
                                icon.name: "draw"
                                selected: true
                                dimension: 38
                            }
                            FloatingIconButtonStyle {
                                text: "Position"
                                icon.name: "position"
                                dimension: 38
                            }
                            FloatingIconButtonStyle {
                                text: "Grid"
                                icon.name: "grid"
                                dimension: 38
                            }
                        }
                    }
                }
            }
        }

        PadCard {
            objectName: "computerCard"
            Layout.maximumWidth: 460
            Layout.fillWidth: true
            radius: 28
            padding: 8

            ColumnLayout {
                width: parent.width
                spacing: 0

                PadSectionHeader {
                    Layout.fillWidth: true
                    title: "Your computers"
                }

                PadRow {
                    Layout.fillWidth: true
                    title: "Ilvan\u2019s MacBook Pro"
                    detail: "Available on Wi-Fi"
                    leading: IconTile {
                        icon: "computer"
                        dimension: 32
                    }
                    trailing: PillButtonStyle {
                        text: "Connect"
                        role: "primary"
                    }
                }

                PadRow {
                    Layout.fillWidth: true
                    title: "Positioning grid"
                    leading: IconTile {
                        icon: "grid"
                        dimension: 32
                        tint: Appearance.highContrast ? "#2345D9" : "#345CFF"
                    }
                    trailing: StatusDot {
                        kind: "live"
                    }
                }
            }
        }

        PairingCodeView {
            Layout.fillWidth: true
            Layout.maximumWidth: 460
            code: "4729"
        }

        DesignNotice {
            message: "Connection interrupted. Select your computer to reconnect."
        }

        // Columns of at least 44 points share the width; only the rows inside the scrolled
        // viewport are built, as the negative display margins shrink the grid's view to them.
        GridView {
            id: iconGrid

            readonly property real spacing: 8
            readonly property int columns:
                Math.max(1, Math.floor((width + spacing) / (44 + spacing)))
            readonly property real iconSize: 18 * Appearance.textScale
            readonly property real onPage: page.y + y
            readonly property real shownFrom: Math.max(0, gallery.contentItem.contentY - onPage)
            readonly property real shownTo:
                Math.min(height, gallery.contentItem.contentY + gallery.availableHeight - onPage)

            objectName: "iconGrid"
            Layout.fillWidth: true
            implicitHeight: Math.ceil(gallery.iconNames.length / columns) * cellHeight
            interactive: false
            cacheBuffer: 0
            displayMarginBeginning: -Math.floor(shownFrom)
            displayMarginEnd: -Math.floor(Math.max(0, height - Math.max(shownFrom, shownTo)))
            cellWidth: width / columns
            cellHeight: iconSize + spacing
            // A view never builds less than its first row: off screen it has no icons at all.
            model: shownTo > shownFrom ? gallery.iconNames : []

            delegate: Item {
                objectName: "galleryIcon"
                width: iconGrid.cellWidth
                height: iconGrid.cellHeight

                IconView {
                    anchors.centerIn: parent
                    icon: modelData
                    size: 18
                }
            }
        }
    }
}
