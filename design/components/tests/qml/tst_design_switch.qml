import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 200
    height: 100

    DesignSwitch {
        id: control

        property var toggles: []

        x: 20
        y: 20
        name: "Desktop control"
        onToggled: (value) => { toggles.push(value); togglesChanged() }
    }

    TestCase {
        name: "DesignSwitch"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
            control.toggles = []
            control.checked = false
            control.enabled = true
        }

        function test_tapAsksAndKeepsTheModelsValue() {
            mouseClick(control)
            compare(control.toggles, [true])
            compare(control.checked, false)
            control.checked = true  // the model agreed
            mouseClick(control)
            compare(control.toggles, [true, false])
            compare(control.checked, true)
        }

        function test_knobAndTrackFollowCheckedAtOnceWithoutMotion() {
            const knob = findChild(control, "switchKnob")
            compare(knob.x, 2)
            control.checked = true
            compare(knob.x, control.width - knob.width - 2)
            verify(Qt.colorEqual(findChild(control, "switchTrack").color, Design.colors.accent))
        }

        function test_spaceAsksOnlyWithFocus() {
            keyClick(Qt.Key_Space)
            compare(control.toggles, [])
            control.forceActiveFocus()
            keyClick(Qt.Key_Space)
            compare(control.toggles, [true])
        }

        function test_disabledAsksNothing() {
            control.enabled = false
            mouseClick(control)
            control.toggle()
            compare(control.toggles, [])
        }

        function test_accessibleNameAndState() {
            compare(control.Accessible.name, "Desktop control")
            compare(control.Accessible.role, Accessible.CheckBox)
            control.checked = true
            compare(control.Accessible.checked, true)
        }
    }
}
