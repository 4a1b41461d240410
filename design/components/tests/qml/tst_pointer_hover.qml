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

        // Whatever takes the pointer from a hovered button, no hand stays behind.
        function test_the_hand_goes_with_the_hover_data() {
            return [
                { tag: "hidden", act: pill => pill.visible = false },
                { tag: "destroyed", act: pill => pill.destroy() },
                { tag: "covered by a modal popup", act: pill => {
                    const popup = createTemporaryObject(popupComponent, root)
                    popup.open()
                    tryCompare(popup, "opened", true)
                    mouseMove(root, 120, 60)
                    compare(pill.pointerHovered, false)
                } },
                { tag: "pressed and dragged out", act: pill => {
                    let clicks = 0
                    pill.clicked.connect(() => ++clicks)
                    mousePress(pill, 10, 10)
                    mouseMove(root, 5, 5, -1, Qt.LeftButton)
                    mouseRelease(root, 5, 5)
                    mouseMove(root, 6, 6)
                    compare(clicks, 0)
                } },
            ]
        }

        function test_the_hand_goes_with_the_hover(data) {
            const pill = make("PillButtonStyle")
            hover(pill)
            data.act(pill)
            tryVerify(() => shown() === arrow, 5000, "the ordinary cursor is back")
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

    }
}
