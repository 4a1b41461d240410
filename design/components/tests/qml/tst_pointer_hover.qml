import QtQuick
import QtQuick.Controls
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 400
    height: 200

    Component {
        id: popupComponent

        Popup {
            x: 0
            y: 0
            width: 400
            height: 200
            modal: true
        }
    }

    Component {
        id: windowComponent

        Window {
            width: 200
            height: 100
            color: "white"
        }
    }

    TestCase {
        name: "PointerHover"
        when: windowShown

        readonly property int hand: Qt.PointingHandCursor
        readonly property int arrow: Qt.ArrowCursor

        function init() {
            desktop.set({reduceMotion: true})
            mouseMove(root, 5, 5)
        }

        function shown() {
            return cursors.shownIn(root.Window.window)
        }

        function make(style) {
            return createTemporaryQmlObject("import QtQuick; import QuilloryDesign; " + style
                                            + " { x: 100; y: 50; width: 80; height: 40; text: \"Go\" }", root)
        }

        function hover(button) {
            mouseMove(button, 10, 10)
            tryCompare(button, "pointerHovered", true)
            compare(shown(), hand)
        }

        function leave(button) {
            mouseMove(root, 5, 5)
            tryCompare(button, "pointerHovered", false)
            tryVerify(() => shown() === arrow, 5000, "the ordinary cursor is back")
        }

        function test_hand_shows_only_inside_data() {
            return ["FloatingIconButtonStyle", "DesignPressStyle", "DesignPlainButtonStyle",
                    "CompanionButtonStyle", "CompanionInlineButtonStyle", "PillButtonStyle"].map(
                        style => ({ tag: style, style: style }))
        }

        function test_hand_shows_only_inside(data) {
            const button = make(data.style)
            compare(shown(), arrow)
            hover(button)
            mouseMove(button, 30, 14)
            compare(shown(), hand)
            leave(button)
        }

        function test_enabling_again_waits_for_the_next_hover() {
            const pill = make("PillButtonStyle")
            hover(pill)
            pill.enabled = false
            compare(pill.pointerHovered, false)
            tryVerify(() => shown() === arrow, 5000, "disabling gives the cursor back")
            mouseMove(pill, 14, 12)
            compare(pill.pointerHovered, false, "a disabled button is never hovered")

            pill.enabled = true
            compare(pill.pointerHovered, false, "no hover wash at once")
            wait(50)
            compare(shown(), arrow, "nor the hand")
            mouseMove(root, 5, 5)
            hover(pill)
            leave(pill)
        }

        function test_hiding_or_destroying_a_hovered_button_gives_the_cursor_back() {
            const hidden = make("PillButtonStyle")
            hover(hidden)
            hidden.visible = false
            tryVerify(() => shown() === arrow, 5000)

            const removed = make("PillButtonStyle")
            hover(removed)
            removed.destroy()
            tryVerify(() => shown() === arrow, 5000)
        }

        function test_popup_over_a_hovered_button_shows_the_ordinary_cursor() {
            const pill = make("PillButtonStyle")
            hover(pill)
            const popup = createTemporaryObject(popupComponent, root)
            popup.open()
            tryCompare(popup, "opened", true)
            mouseMove(root, 120, 60)
            tryVerify(() => shown() === arrow, 5000, "no hand over the popup")
            compare(pill.pointerHovered, false)
            popup.close()
            tryCompare(popup, "visible", false)
            mouseMove(root, 5, 5)
            hover(pill)
        }

        function test_another_window_never_shows_the_hand_data() {
            return [{ tag: "modal window over the button", modal: true },
                    { tag: "this window deactivated", modal: false }]
        }

        function test_another_window_never_shows_the_hand(data) {
            const pill = make("PillButtonStyle")
            hover(pill)
            const other = createTemporaryObject(windowComponent, root, {
                transientParent: data.modal ? root.Window.window : null,
                modality: data.modal ? Qt.WindowModal : Qt.NonModal
            })
            other.show()
            other.requestActivate()
            tryCompare(other, "active", true)
            mouseMove(other.contentItem, 20, 20)
            compare(cursors.shownIn(other), arrow)
            other.close()
            mouseMove(root, 5, 5)
            tryVerify(() => shown() === arrow, 5000)
        }

        function test_press_and_drag_out_leaves_the_ordinary_cursor() {
            const pill = make("PillButtonStyle")
            let clicks = 0
            pill.clicked.connect(() => ++clicks)
            hover(pill)
            mousePress(pill, 10, 10)
            mouseMove(pill, 40, 20, -1, Qt.LeftButton)
            mouseMove(root, 5, 5, -1, Qt.LeftButton)
            mouseRelease(root, 5, 5)
            compare(clicks, 0)
            mouseMove(root, 6, 6)
            tryCompare(pill, "pointerHovered", false)
            tryVerify(() => shown() === arrow, 5000, "no hand left behind")
        }
    }
}
