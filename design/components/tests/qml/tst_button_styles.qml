import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 400
    height: 240

    TestCase {
        name: "ButtonStyles"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
            mouseMove(root, 2, 2)
        }

        function make(type, properties) {
            const button = createTemporaryQmlObject("import QtQuick; import QuilloryDesign; " + type
                                                    + " { x: 100; y: 60; width: 80; height: 40; text: \"Go\" }", root)
            for (const key in properties)
                button[key] = properties[key]
            return button
        }

        function test_styles_data() {
            return [
                { tag: "pill", type: "PillButtonStyle", disabled: 0.45, opacity: 0.86, scale: 0.96, lift: 0 },
                { tag: "floating", type: "FloatingIconButtonStyle", disabled: 0.4, opacity: 1, scale: 0.92, lift: 0 },
                { tag: "press", type: "DesignPressStyle", disabled: 0.4, opacity: 0.82, scale: 0.97, lift: 2 },
                { tag: "plain", type: "DesignPlainButtonStyle", disabled: 0.4, opacity: 0.7, scale: 1, lift: 0 },
                { tag: "companion", type: "CompanionButtonStyle", disabled: 0.4, opacity: 0.94, scale: 1, lift: 2 },
                { tag: "inline", type: "CompanionInlineButtonStyle", disabled: 0.4, opacity: 1, scale: 0.97, lift: 0 },
            ]
        }

        // Disabled, a button fades and ignores presses. Pressed with motion it shrinks and sinks;
        // with Reduce Motion it only dims, at once.
        function test_styles(data) {
            const button = make(data.type, { enabled: false })
            tryCompare(button, "opacity", data.disabled, 20000)
            mousePress(button, 10, 10)
            tryCompare(button, "opacity", data.disabled, 20000)
            mouseRelease(button, 10, 10)

            button.enabled = true
            mousePress(button, 10, 10)
            compare(button.scale, 1)
            tryCompare(button, "opacity", data.opacity)
            compare(button.transform.length > 0 ? button.transform[0].y : 0, 0)
            mouseRelease(button, 10, 10)

            desktop.set({})
            mousePress(button, 10, 10)
            tryVerify(() => Math.abs(button.scale - data.scale) < 0.002, 2000, "scale")
            if (data.lift > 0)
                tryVerify(() => Math.abs(button.transform[0].y - data.lift) < 0.3, 2000, "lift")
            mouseRelease(button, 10, 10)
            tryVerify(() => Math.abs(button.scale - 1) < 0.002, 2000, "scale back")
        }

        function near(a, b) {
            return Math.abs(a.r - b.r) < 0.01 && Math.abs(a.g - b.g) < 0.01
                    && Math.abs(a.b - b.b) < 0.01 && Math.abs(a.a - b.a) < 0.01
        }

        function test_colour_changes_spring_unless_motion_is_reduced_data() {
            const danger = Design.colors.destructiveText
            return [
                { tag: "floating selected", type: "FloatingIconButtonStyle", props: {},
                  act: button => button.selected = true,
                  drawn: button => findChild(button, "floatingFill").color,
                  target: () => Design.colors.accent },
                { tag: "inline hovered", type: "CompanionInlineButtonStyle", props: { destructive: true },
                  act: button => mouseMove(button, 10, 10),
                  drawn: button => button.background.color,
                  target: () => Qt.rgba(danger.r, danger.g, danger.b, 0.08) },
                { tag: "inline rim", type: "CompanionInlineButtonStyle", props: { destructive: true },
                  act: button => mouseMove(button, 10, 10),
                  drawn: button => button.background.border.color,
                  target: () => Qt.rgba(danger.r, danger.g, danger.b, 0.25) },
            ]
        }

        function test_colour_changes_spring_unless_motion_is_reduced(data) {
            const still = make(data.type, data.props)
            data.act(still)
            verify(near(data.drawn(still), data.target()), "at once with Reduce Motion")

            desktop.set({})
            mouseMove(root, 2, 2)
            const moving = make(data.type, Object.assign({ x: 250 }, data.props))
            waitForRendering(moving)
            data.act(moving)
            verify(!near(data.drawn(moving), data.target()), "the spring starts from the old colour")
            tryVerify(() => near(data.drawn(moving), data.target()), 5000, "and ends at the new one")
        }

        // The plain style springs only between hovered and not; a press dims it at once.
        function test_plain_style_animates_hover_but_not_press() {
            desktop.set({})
            const button = make("DesignPlainButtonStyle")
            waitForRendering(button)
            mouseMove(button, 10, 10)
            verify(button.pointerHovered)
            verify(button.opacity > 0.9, "the spring starts from 1")
            tryVerify(() => Math.abs(button.opacity - 0.82) < 0.002, 2000, "and ends at 0.82")
            mousePress(button, 10, 10)
            compare(button.opacity, 0.7)
            mouseRelease(button, 10, 10)
            fuzzyCompare(button.opacity, 0.82, 0.002)
            mouseMove(root, 2, 2)
            verify(button.opacity < 0.9, "leaving springs back too")
            tryVerify(() => Math.abs(button.opacity - 1) < 0.002, 2000, "to 1")
        }

        function test_pill_sheen_shows_on_hover_but_not_while_pressed() {
            const pill = make("PillButtonStyle", { role: "soft" })
            const sheen = findChild(pill, "pillSheen")
            compare(sheen.opacity, 0)
            mouseMove(pill, 10, 10)
            tryCompare(sheen, "opacity", 1)
            mousePress(pill, 10, 10)
            tryCompare(sheen, "opacity", 0)
            mouseRelease(pill, 10, 10)
        }

        function test_a_face_inside_a_press_style_button_sinks_with_it() {
            const button = createTemporaryQmlObject("import QtQuick; import QuilloryDesign; DesignPressStyle { x: 100; y: 60; "
                                                    + "contentItem: ControlFace { implicitWidth: 120; implicitHeight: 44; primary: true } }", root)
            const face = button.contentItem
            compare(face.depth, 3)
            mousePress(button, 10, 10)
            compare(face.depth, 1)
            compare(findChild(face, "faceSlab").y, 1)
            mouseRelease(button, 10, 10)
            compare(face.depth, 3)
        }

        function test_companion_lip_shrinks_even_with_reduce_motion() {
            const button = make("CompanionButtonStyle", { primary: true })
            const face = button.background
            compare(face.depth, 3)
            mousePress(button, 10, 10)
            compare(face.depth, 1)
            compare(button.transform[0].y, 0)
            mouseRelease(button, 10, 10)
            const neutral = make("CompanionButtonStyle", { primary: false, x: 250 })
            compare(neutral.background.depth, 1)
            mousePress(neutral, 10, 10)
            compare(neutral.background.depth, 1)
            mouseRelease(neutral, 10, 10)
        }

        function test_destructive_inline_takes_the_danger_colour_only_when_engaged() {
            const quiet = make("CompanionInlineButtonStyle", { destructive: false })
            const danger = make("CompanionInlineButtonStyle", { destructive: true, y: 140 })
            compare(danger.tint, Design.colors.secondaryText)
            mouseMove(danger, 10, 10)
            tryCompare(danger, "tint", Design.colors.destructiveText)
            mousePress(danger, 10, 10)
            compare(danger.tint, Design.colors.destructiveText)
            mouseRelease(danger, 10, 10)

            mouseMove(quiet, 10, 10)
            tryCompare(quiet, "engaged", true)
            compare(quiet.tint, Design.colors.secondaryText)
        }
    }
}
