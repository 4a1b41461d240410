import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 240
    height: 160

    Item {
        id: themed

        Design.palette: "paper"

        Item {
            Item {
                id: grandchild

                property color accent: Design.colors.accent
                property string family: Design.iconFamily
            }
        }
    }

    Item { id: plain; property color accent: Design.colors.accent }

    Rectangle {
        id: mover

        width: 10
        height: 10

        SpringBehavior on x { motion: Motion.snappy; epsilon: 0.25 }
    }

    // Direct children of the root: the test's grabImage() crops the window at the item's own x
    // and y, which are only window coordinates here.
    Rectangle { color: "white"; y: 40; width: 160; height: 80 }
    IconView { id: icon; y: 40; icon: "warning"; size: 40 }
    CompanionBrandBadge { id: badge; x: 40; y: 40; size: 80 }

    Component {
        id: nested

        Item { Item { property string palette: Design.palette } }
    }

    Component {
        id: galleryPage

        DesignSystemGallery { width: 400; height: 300 }
    }

    TestCase {
        name: "Design"
        when: windowShown

        function init() {
            desktop.set({})
            themed.Design.palette = "paper"
            themed.Design.iconFamily = "phosphor"
        }

        function test_themeReachesDescendantsOnly() {
            compare(plain.Design.palette, "electricBlue")
            verify(Qt.colorEqual(grandchild.accent, "#b8412c"))
            themed.Design.palette = "pine"
            verify(Qt.colorEqual(grandchild.accent, "#27664f"))
            themed.Design.iconFamily = "systemSymbols"
            compare(grandchild.family, "systemSymbols")
            verify(Qt.colorEqual(plain.accent, "#345cff"))
            compare(plain.Design.iconFamily, "phosphor")
        }

        function test_itemFollowsWhenItOrAMiddleItemMoves() {
            const middle = createTemporaryObject(nested, plain)
            const leaf = middle.children[0]
            compare(leaf.palette, "electricBlue")
            middle.parent = grandchild
            compare(leaf.palette, "paper", "moved into the paper subtree")
            themed.Design.palette = "pine"
            compare(leaf.palette, "pine", "and follows it from there")
            middle.parent = plain
            compare(leaf.palette, "electricBlue", "moved out again")
            themed.Design.palette = "paper"
            compare(leaf.palette, "electricBlue", "no longer listening to the old subtree")
            leaf.parent = grandchild
            compare(leaf.palette, "paper", "the item itself moved")
        }

        function test_textScaleGrowsTextAndIcons() {
            desktop.set({textScale: 1.5})
            compare(DesignTypography.body.pixelSize, 24)
            compare(icon.implicitWidth, 60)
        }

        function test_coloursFollowTheAppearance() {
            // Each setting of the desktop reaches the colours already bound.
            const plainAccent = Qt.color(grandchild.accent)
            desktop.set({dark: true})
            verify(!Qt.colorEqual(grandchild.accent, plainAccent))
            const darkAccent = Qt.color(grandchild.accent)
            desktop.set({dark: true, highContrast: true})
            verify(!Qt.colorEqual(grandchild.accent, darkAccent))
            desktop.set({})
            verify(Qt.colorEqual(grandchild.accent, plainAccent))
        }

        function test_reduceMotionMovesAtOnce() {
            desktop.set({reduceMotion: true})
            compare(Motion.enabled, false)
            mover.x = 100
            compare(mover.x, 100)

            desktop.set({})
            compare(Motion.enabled, true)
            mover.x = 0
            verify(mover.x > 0, "a spring takes time")
            tryCompare(mover, "x", 0, 20000)  // generous for a loaded machine
        }

        function test_iconAndBadgeDrawInThemeColours() {
            waitForRendering(icon, 20000)
            var image = grabImage(icon)
            var inked = 0
            for (var y = 0; y < image.height; ++y)
                for (var x = 0; x < image.width; ++x)
                    if (Qt.colorEqual(image.pixel(x, y), "#181818"))
                        ++inked
            verify(inked > 20, "icon pixels in the primary text colour: " + inked)

            var face = grabImage(badge)
            verify(Qt.colorEqual(face.pixel(4, 40), "#345cff"), "accent face")
            verify(Qt.colorEqual(face.pixel(1, 1), "white"), "rounded corner")
            verify(Qt.colorEqual(face.pixel(40, 40), "white") || Qt.colorEqual(face.pixel(40, 44), "white")
                   || Qt.colorEqual(face.pixel(36, 40), "white"), "the mark on the face")
            face.save(shotsDirectory + "/brand-badge.png")
        }

        // The icon grid sits at the end of the page: its icons are built once it scrolls in.
        function test_galleryIconGridFillsTheWidthAndBuildsOnlyWhatIsShown() {
            const gallery = createTemporaryObject(galleryPage, root)
            const grid = findChild(gallery, "iconGrid")
            verify(grid)
            waitForRendering(gallery)
            verify(grid.cellWidth >= 44)
            fuzzyCompare(grid.columns * grid.cellWidth, grid.width, 0.5)
            const built = () => Array.from(grid.contentItem.children).filter(icon => icon.objectName === "galleryIcon").length
            compare(built(), 0)
            gallery.contentItem.contentY = gallery.contentHeight - gallery.height
            tryVerify(() => built() === 36, 5000, "built: " + built())
        }
    }
}
