import QtQuick
import QtTest
import QuilloryDesign
import QuilloryInterface

Item {
    id: root

    width: 860
    height: 760

    property var testSession: session

    QtObject {
        id: actions

        property int closes: 0

        function close() {
            closes++
        }
    }

    MacPencilTest {
        id: view

        session: root.testSession
        actions: actions
    }

    TestCase {
        name: "PencilTest"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
            session.set({connected: true, activePeer: ""})
            session.input.clearSamples()
            session.input.point(null)
            session.input.setPressure(0)
            session.clearCalls()
            session.input.clearCalls()
            actions.closes = 0
            if (!findChild(view, "ink").grid)
                mouseClick(findChild(view, "gridSwitch"))
        }

        function began(x, y) {
            return {phase: "began", x: x, y: y, pressure: 0.5}
        }

        function test_hintLeavesWithTheFirstStrokeAndReturnsAfterClear_data() {
            return [{tag: "reduce motion", reduce: true}, {tag: "motion", reduce: false}]
        }

        function test_hintLeavesWithTheFirstStrokeAndReturnsAfterClear(data) {
            desktop.set({reduceMotion: data.reduce})
            const hint = findChild(view, "hint")
            compare(hint.opacity, 1)
            session.input.append([began(0.5, 0.5)])
            if (data.reduce) {
                compare(hint.opacity, 0)
            } else {
                verify(hint.opacity > 0)  // fading, not gone at once
                tryCompare(hint, "opacity", 0)
            }
            compare(hint.visible, false)
            mouseClick(findChild(view, "clearButton"))
            compare(session.input.calls(), ["clearSamples"])
            if (data.reduce)
                compare(hint.opacity, 1)
            else
                tryCompare(hint, "opacity", 1)
        }

        function test_clearIsDisabledWithoutInk_data() {
            return [{tag: "empty", samples: [], enabled: false},
                    {tag: "ended only", samples: [{phase: "ended", x: 0.1, y: 0.1}], enabled: false},
                    {tag: "cancelled only", samples: [{phase: "cancelled", x: 0.1, y: 0.1}],
                     enabled: false},
                    {tag: "moved", samples: [{phase: "moved", x: 0.1, y: 0.1}], enabled: true}]
        }

        function test_clearIsDisabledWithoutInk(data) {
            session.input.append(data.samples)
            const clear = findChild(view, "clearButton")
            compare(clear.enabled, data.enabled)
            mouseClick(clear)
            compare(session.input.calls(), data.enabled ? ["clearSamples"] : [])
        }

        function test_gridSwitchSymbolAndToolTip() {
            const grid = findChild(view, "gridSwitch")
            const ink = findChild(view, "ink")
            compare(ink.grid, true)
            compare(findChild(grid, "headerIconImage").symbol, "circle.grid.3x3.fill")
            compare(grid.tip, "Hide dots")
            mouseClick(grid)
            compare(ink.grid, false)
            compare(findChild(grid, "headerIconImage").symbol, "circle.grid.3x3")
            compare(grid.tip, "Show dots")
            mouseMove(grid, 10, 10)
            tryCompare(findChild(grid, "headerIconTip"), "visible", true)
            mouseClick(grid)
            compare(ink.grid, true)
        }

        function test_connectionWording() {
            const button = findChild(view, "returnToDesktop")
            compare(button.visible, true)
            compare(findChild(view, "statusDot").kind, "live")
            session.set({connected: false})
            compare(button.visible, false)
            compare(findChild(view, "statusDot").kind, "idle")
            compare(findChild(view, "hintTitle").text, "Connect your iPad")
        }

        function test_pressureMeter_data() {
            return [{tag: "none", pressure: 0, text: "0%", level: 0},
                    {tag: "some", pressure: 0.374, text: "37%", level: 96 * 0.374},
                    {tag: "full", pressure: 1, text: "100%", level: 96}]
        }

        function test_pressureMeter(data) {
            session.input.setPressure(data.pressure)
            compare(findChild(view, "pressureReadout").text, data.text)
            fuzzyCompare(findChild(view, "pressureLevel").width, data.level, 0.001)
            compare(findChild(view, "pressureBar").Accessible.name, "Pen pressure")
        }
    }
}
