import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 400
    height: 200

    TestCase {
        name: "PointerHover"
        when: windowShown

        property int baseDepth: 0

        function depth() {
            return PointerCursor.depth - baseDepth
        }

        function init() {
            desktop.set({reduceMotion: true})
            mouseMove(root, 5, 5)
            baseDepth = PointerCursor.depth
        }

        function make(style) {
            return createTemporaryQmlObject("import QtQuick; import QuilloryDesign; " + style
                                            + " { x: 100; y: 50; width: 80; height: 40; text: \"Go\" }", root)
        }

        function hover(button) {
            mouseMove(button, 10, 10)
            tryCompare(button, "pointerHovered", true)
        }

        function test_entering_pushes_once_and_leaving_pops_once_data() {
            return ["FloatingIconButtonStyle", "DesignPressStyle", "DesignPlainButtonStyle",
                    "CompanionButtonStyle", "CompanionInlineButtonStyle", "PillButtonStyle"].map(
                        style => ({ tag: style, style: style }))
        }

        function test_entering_pushes_once_and_leaving_pops_once(data) {
            const button = make(data.style)
            const pushes = PointerCursor.pushes
            hover(button)
            mouseMove(button, 20, 12)
            mouseMove(button, 30, 14)
            compare(depth(), 1)
            compare(PointerCursor.pushes, pushes + 1)
            mouseMove(root, 5, 5)
            tryCompare(button, "pointerHovered", false)
            compare(depth(), 0)
        }

        function test_disabling_while_hovered_gives_the_cursor_back() {
            const pill = make("PillButtonStyle")
            hover(pill)
            pill.enabled = false
            compare(pill.pointerHovered, false)
            compare(depth(), 0)
            mouseMove(pill, 14, 12)
            compare(pill.pointerHovered, false, "a disabled button is never hovered")
            compare(depth(), 0)
            // Enabling again never pushes a second hand; at most the one for the pointer inside.
            pill.enabled = true
            mouseMove(pill, 12, 12)
            verify(depth() <= 1)
            mouseMove(root, 5, 5)
            tryCompare(pill, "pointerHovered", false)
            compare(depth(), 0)
        }

        function test_hiding_or_destroying_a_hovered_button_pops_its_cursor() {
            const hidden = make("PillButtonStyle")
            hover(hidden)
            hidden.visible = false
            compare(depth(), 0)

            const removed = make("PillButtonStyle")
            hover(removed)
            compare(depth(), 1)
            removed.destroy()
            tryVerify(() => depth() === 0)
        }
    }
}
