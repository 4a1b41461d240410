import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 400
    height: 200

    Component {
        id: pillComponent

        PillButtonStyle {
            x: 100
            y: 50
            text: "Connect"
        }
    }

    TestCase {
        id: testCase

        name: "PointerHover"
        when: windowShown

        property int baseDepth: 0

        function depth() {
            return PointerCursor.depth - baseDepth
        }

        function init() {
            desktop.set(true, false, false)
            mouseMove(root, 5, 5)
            baseDepth = PointerCursor.depth
        }

        function makePill() {
            const pill = createTemporaryObject(pillComponent, root)
            verify(pill)
            return pill
        }

        function test_entering_pushes_once_and_leaving_pops_once() {
            const pill = makePill()
            const pushes = PointerCursor.pushes
            mouseMove(pill, 10, 10)
            tryCompare(pill, "pointerHovered", true)
            compare(depth(), 1)
            mouseMove(pill, 20, 12)
            mouseMove(pill, 30, 14)
            compare(PointerCursor.pushes, pushes + 1)
            mouseMove(root, 5, 5)
            tryCompare(pill, "pointerHovered", false)
            compare(depth(), 0)
        }

        function test_disabling_while_hovered_gives_the_cursor_back() {
            const pill = makePill()
            mouseMove(pill, 10, 10)
            tryCompare(pill, "pointerHovered", true)
            pill.enabled = false
            compare(pill.pointerHovered, false)
            compare(depth(), 0)
            // Enabling again never pushes a second hand; at most the one for the pointer inside.
            pill.enabled = true
            mouseMove(pill, 12, 12)
            verify(depth() <= 1)
            mouseMove(root, 5, 5)
            tryCompare(pill, "pointerHovered", false)
            compare(depth(), 0)
        }

        function test_a_disabled_button_is_never_hovered() {
            const pill = makePill()
            pill.enabled = false
            mouseMove(pill, 10, 10)
            mouseMove(pill, 14, 12)
            compare(pill.pointerHovered, false)
            compare(depth(), 0)
        }

        function test_hiding_or_destroying_a_hovered_button_pops_its_cursor() {
            const hidden = makePill()
            mouseMove(hidden, 10, 10)
            tryCompare(hidden, "pointerHovered", true)
            hidden.visible = false
            compare(depth(), 0)
            hidden.destroy()
            wait(0)

            const removed = makePill()
            mouseMove(removed, 12, 12)
            tryCompare(removed, "pointerHovered", true)
            compare(depth(), 1)
            removed.destroy()
            tryVerify(() => depth() === 0)
        }

        function test_every_style_claims_the_cursor() {
            const styles = ["FloatingIconButtonStyle", "DesignPressStyle",
                            "DesignPlainButtonStyle", "CompanionButtonStyle",
                            "CompanionInlineButtonStyle", "PillButtonStyle"]
            for (const style of styles) {
                const button = createTemporaryQmlObject(
                    "import QtQuick; import QuilloryDesign; " + style
                    + " { x: 100; y: 50; width: 80; height: 40; text: \"Go\" }", root)
                mouseMove(button, 10, 10)
                tryCompare(button, "pointerHovered", true)
                compare(depth(), 1, style)
                mouseMove(root, 5, 5)
                tryCompare(button, "pointerHovered", false)
                compare(depth(), 0, style)
                button.destroy()
            }
        }
    }
}
