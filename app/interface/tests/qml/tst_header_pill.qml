import QtQuick
import QtTest
import QuilloryDesign
import QuilloryInterface

Rectangle {
    id: root

    width: 300
    height: 120
    color: "#2a4df2"

    TestCase {
        name: "HeaderPill"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
            mouseMove(root, 2, 2)
        }

        function make() {
            return createTemporaryQmlObject("import QtQuick; import QuilloryInterface; "
                                            + "HeaderPillStyle { x: 100; y: 40; text: \"Check for Updates\" }",
                                            root)
        }

        function fill(pill) {
            return findChild(pill, "headerPillFill").color.a
        }

        function test_fillFollowsHoverPressAndEnabled() {
            const pill = make()
            compare(pill.height, 30)
            fuzzyCompare(fill(pill), 0.16, 0.005)
            compare(pill.opacity, 1)

            mouseMove(pill, 10, 10)
            tryCompare(pill, "pointerHovered", true)
            fuzzyCompare(fill(pill), 0.24, 0.005)
            compare(cursors.shownIn(root.Window.window), Qt.PointingHandCursor)

            mousePress(pill, 10, 10)
            fuzzyCompare(fill(pill), 0.30, 0.005)
            mouseRelease(pill, 10, 10)
            fuzzyCompare(fill(pill), 0.24, 0.005)

            // Disabled under the resting pointer: back to rest at half opacity, no hand.
            pill.enabled = false
            tryCompare(pill, "pointerHovered", false)
            fuzzyCompare(fill(pill), 0.16, 0.005)
            compare(pill.opacity, 0.5)
            tryVerify(() => cursors.shownIn(root.Window.window) === Qt.ArrowCursor, 5000)
            mouseMove(pill, 12, 12)
            mousePress(pill, 12, 12)
            fuzzyCompare(fill(pill), 0.16, 0.005)
            mouseRelease(pill, 12, 12)
            compare(cursors.shownIn(root.Window.window), Qt.ArrowCursor)
        }
    }
}
