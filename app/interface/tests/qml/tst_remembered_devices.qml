import QtQuick
import QtTest
import QuilloryDesign
import QuilloryInterface

Item {
    id: root

    width: 500
    height: 900

    property var testSession: session

    MacRememberedDevices {
        id: view

        session: root.testSession
    }

    TestCase {
        name: "RememberedDevices"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
            session.set({connected: false, savedDevices: []})
            session.clearCalls()
            view.devices.cancelForget()
        }

        function test_emptyCardOrList() {
            verify(findChild(view, "emptyCard").visible)
            verify(!findChild(view, "deviceCard").visible)
            session.set({savedDevices: [{id: "a", name: "Drawing iPad"}]})
            verify(!findChild(view, "emptyCard").visible)
            verify(findChild(view, "deviceCard").visible)
            verify(findChild(view, "footnote").visible)
            compare(findChild(view, "deviceList").height, 80)
        }

        function test_longNameKeepsTwoLinesAndItsWholeText() {
            const name = "First line of a name\nsecond line\nthird line"
            session.set({savedDevices: [{id: "a", name: name}]})
            const list = findChild(view, "deviceList")
            tryVerify(() => list.itemAtIndex(0) !== null)
            const label = findChild(list.itemAtIndex(0), "deviceName")
            compare(label.lineCount, 2)
            verify(label.truncated)
            compare(findChild(list.itemAtIndex(0), "nameToolTip").text, name)
            compare(findChild(list.itemAtIndex(0), "forgetButton").Accessible.name,
                    "Forget " + name)
        }

        function test_forgetThroughTheConfirmation() {
            session.set({savedDevices: [{id: "a", name: "<b>Ink</b>"}, {id: "b", name: "Pad"}]})
            const list = findChild(view, "deviceList")
            tryVerify(() => list.itemAtIndex(0) !== null)
            waitForRendering(view)
            mouseClick(findChild(list.itemAtIndex(0), "forgetButton"))
            const dialog = findChild(view, "forgetConfirmation")
            tryCompare(dialog, "opened", true)
            compare(findChild(dialog.contentItem, "confirmTitle").text, "Forget <b>Ink</b>?")
            compare(findChild(dialog.contentItem, "confirmTitle").textFormat, Text.PlainText)
            mouseClick(findChild(dialog.contentItem, "confirmForget"))
            tryCompare(dialog, "visible", false)
            verify(session.calls().indexOf("forget:a") >= 0)
            compare(view.devices.count, 1)
            compare(list.height, 80)
        }

        function test_cancelLeavesTheList() {
            session.set({savedDevices: [{id: "a", name: "Pad"}]})
            const list = findChild(view, "deviceList")
            tryVerify(() => list.itemAtIndex(0) !== null)
            waitForRendering(view)
            mouseClick(findChild(list.itemAtIndex(0), "forgetButton"))
            const dialog = findChild(view, "forgetConfirmation")
            tryCompare(dialog, "opened", true)
            mouseClick(findChild(dialog.contentItem, "cancelForget"))
            tryCompare(dialog, "visible", false)
            verify(!view.devices.forgetting)
            compare(session.calls().indexOf("forget:a"), -1)
            compare(view.devices.count, 1)
        }

        // The pointing hand of the hovered "Forget…" does not outlive the confirmation over it.
        function test_noHandOverOrAfterTheConfirmation() {
            session.set({savedDevices: [{id: "a", name: "Pad"}]})
            const list = findChild(view, "deviceList")
            tryVerify(() => list.itemAtIndex(0) !== null)
            waitForRendering(view)
            const button = findChild(list.itemAtIndex(0), "forgetButton")
            mouseMove(button, 10, 10)
            tryCompare(button, "pointerHovered", true)
            compare(cursors.shownIn(root.Window.window), Qt.PointingHandCursor)
            mouseClick(button, 10, 10)
            const dialog = findChild(view, "forgetConfirmation")
            tryCompare(dialog, "opened", true)
            mouseMove(dialog.contentItem, 4, 4)
            tryVerify(() => cursors.shownIn(root.Window.window) === Qt.ArrowCursor, 5000)
            mouseClick(findChild(dialog.contentItem, "cancelForget"))
            tryCompare(dialog, "visible", false)
            mouseMove(root, 2, 2)
            tryVerify(() => cursors.shownIn(root.Window.window) === Qt.ArrowCursor, 5000)
        }
    }
}
