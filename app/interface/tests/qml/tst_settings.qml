import QtQuick
import QtTest
import QuilloryDesign
import QuilloryInterface

Item {
    id: root

    width: 520
    height: 1000

    property var testSession: session

    MacSettings {
        id: view

        session: root.testSession
    }

    TestCase {
        name: "Settings"
        when: windowShown

        function test_rowsAndHeader() {
            verify(findChild(view, "updatesOff").visible)
            verify(!findChild(view, "automaticChecks").visible)
            verify(!findChild(view, "updatePill").visible)
            verify(!findChild(view, "loginError").visible)
            verify(findChild(view, "cardHeader").subtitle.startsWith("Quillory "))
            verify(findChild(view, "cardHeader").subtitle.length > "Quillory ".length)
        }

        function test_loginSwitchFollowsTheLoginItem() {
            const item = session.shell.loginItem
            const toggle = findChild(view, "loginSwitch")
            const was = item.enabled
            toggle.toggled(!was)
            compare(item.enabled, !was)
            compare(toggle.checked, !was)
            toggle.toggled(was)
            compare(toggle.checked, was)
        }
    }
}
