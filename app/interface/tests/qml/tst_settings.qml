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
        noticesFolder: Qt.resolvedUrl("notices").toString().replace("file://", "")
    }

    TestCase {
        name: "Settings"
        when: windowShown

        readonly property var updates: session.shell.updates
        readonly property var login: session.shell.loginItem

        function init() {
            desktop.set({reduceMotion: true})
            updates.set({available: false, canCheck: true, pendingVersion: "",
                         automaticChecks: false, automaticInstalls: false})
            login.set({enabled: false, needsApproval: false, failure: ""})
            login.setEnabled(false)
            view.notices = false
            mouseMove(root, 1, 999)
        }

        function test_header() {
            // Read once when the window appeared.
            verify(login.calls().indexOf("refresh") >= 0)
            compare(findChild(view, "cardHeader").subtitle,
                    "Quillory " + updates.appVersionString)
            verify(!findChild(view, "updatePill").visible)
            updates.set({available: true, canCheck: false, pendingVersion: "0.2.0"})
            const pill = findChild(view, "updatePill")
            verify(pill.visible)
            verify(!pill.enabled)
            compare(pill.text, "Install 0.2.0")
        }

        // The sections sit 16 points below the header and in from the sides; the footer's links
        // end 20 points above the card's bottom.
        function test_sectionsArePaddedSixteenAndTwentyBelow() {
            const sections = findChild(view, "settingsSections")
            const top = sections.mapToItem(view, 0, 0).y
            compare(top, findChild(view, "cardHeader").height)
            verify(sections.children[1].visible)
            compare(sections.children[1].y, 16)
            compare(sections.x, 16)
            compare(view.width - sections.width - sections.x, 16)
            const link = findChild(view, "acknowledgements")
            compare(view.height - link.mapToItem(view, 0, link.height).y, 20)
        }

        // Like the rows' texts: the system family, which has a real semibold face, growing with
        // the desktop's text scale.
        function test_allowedBadgeWordIsSystemTextThatScales() {
            tryVerify(() => findChild(view, "allowedBadge") !== null)
            const row = findChild(view, "allowedBadge").children[0]
            const word = Array.from(row.children).find(child => child.text === "Allowed")
            compare(word.font.family, PadType.body.family)
            compare(word.font.weight, Font.DemiBold)
            compare(word.font.pixelSize, 12)
            desktop.set({reduceMotion: true, textScale: 1.5})
            compare(word.font.pixelSize, 18)
        }

        function test_updatesOffRowOrTheTwoSwitches() {
            verify(findChild(view, "updatesOff").visible)
            verify(!findChild(view, "automaticChecks").visible)
            verify(!findChild(view, "automaticInstalls").visible)

            updates.set({available: true, automaticChecks: false, automaticInstalls: true})
            verify(!findChild(view, "updatesOff").visible)
            verify(findChild(view, "automaticChecks").visible)
            // Only the switch is disabled; the detail keeps following its own value.
            verify(!findChild(view, "automaticInstallsSwitch").enabled)
            verify(findChild(view, "automaticChecksSwitch").enabled)
            compare(findChild(view, "automaticInstalls").detail, "Installed the next time you quit")
            updates.set({automaticInstalls: false})
            compare(findChild(view, "automaticInstalls").detail, "Quillory asks first")
            findChild(view, "automaticChecksSwitch").toggled(true)
            verify(updates.automaticChecks)
            verify(findChild(view, "automaticInstallsSwitch").enabled)
        }

        function test_loginRowPerState() {
            const row = findChild(view, "loginRow")
            verify(findChild(view, "loginSwitch") !== null)
            verify(findChild(view, "approveLogin") === null)
            login.set({needsApproval: true})
            compare(row.detail, "Waiting for approval in Login Items")
            tryVerify(() => findChild(view, "approveLogin") !== null)
            tryVerify(() => findChild(view, "loginSwitch") === null)
            login.set({needsApproval: false})
            tryVerify(() => findChild(view, "loginSwitch") !== null)
            tryVerify(() => findChild(view, "approveLogin") === null)
            compare(row.detail, "Ready whenever you sit down to draw")
        }

        function test_failedChangeShowsTheNoticeUntilTheNextChange() {
            const notice = findChild(view, "loginError")
            login.set({failure: "Couldn’t add Quillory to your login items."})
            findChild(view, "loginSwitch").toggled(true)
            verify(notice.visible)
            compare(notice.message, "Couldn’t add Quillory to your login items.")
            // The switch shows what the item reads back, not what was asked.
            compare(findChild(view, "loginSwitch").checked, false)

            login.set({failure: ""})
            findChild(view, "loginSwitch").toggled(true)
            verify(!notice.visible)
            compare(findChild(view, "loginSwitch").checked, true)
        }

        function test_acknowledgementsOpenCloseAndReadAgain() {
            const link = findChild(view, "acknowledgements")
            mouseMove(link, 5, 5)
            tryCompare(link, "pointerHovered", true)
            mouseClick(link, 5, 5)
            tryVerify(() => view.noticesWindow !== null && view.noticesWindow.visible)
            const dialog = view.noticesWindow
            compare(dialog.transientParent, root.Window.window)
            compare(dialog.modality, Qt.WindowModal)
            compare(dialog.width, 520)
            compare(dialog.height, 460)

            // The invalid file is left out; the one after it still shows, texts whole.
            compare(dialog.notices.count, 2)
            const list = findChild(dialog.contentItem, "noticeList")
            tryVerify(() => list.itemAtIndex(1) !== null)
            compare(findChild(list.itemAtIndex(0), "noticeTitle").text, "Alpha")
            compare(findChild(list.itemAtIndex(0), "noticeText").text, "\n\nAlpha licence text\n\n")
            compare(findChild(list.itemAtIndex(1), "noticeTitle").text, "Gamma")
            verify(findChild(list.itemAtIndex(0), "noticeText").selectByMouse)

            // No pointing hand outlives the hovered link: a plain part of the dialog shows the
            // arrow, and so does a plain part of the settings window once the dialog is gone.
            mouseMove(dialog.contentItem, 30, 30)
            tryVerify(() => cursors.shownIn(dialog) === Qt.ArrowCursor, 5000)

            dialog.requestActivate()
            tryCompare(dialog, "active", true)
            keyClick(Qt.Key_Return)
            tryVerify(() => view.noticesWindow === null)
            verify(!view.notices)
            mouseMove(root, 1, 999)
            tryVerify(() => cursors.shownIn(root.Window.window) === Qt.ArrowCursor, 5000)

            // A second presentation reads the files again and "Done" closes it too.
            mouseClick(link, 5, 5)
            tryVerify(() => view.noticesWindow !== null && view.noticesWindow.visible)
            compare(view.noticesWindow.notices.count, 2)
            mouseClick(findChild(view.noticesWindow.contentItem, "noticesDone"))
            tryVerify(() => view.noticesWindow === null)
        }
    }
}
