import QtQuick
import QtTest
import QuilloryDesign
import QuilloryInterface

Item {
    id: root

    width: 400
    height: 900

    MacQuickControls {
        id: quick

        session: root.testSession
    }

    property var testSession: session

    QuilloryCardHeader {
        id: header

        property int closes: 0

        x: 0
        y: 820
        width: 400
        height: 76
        title: "Pen test"
        onClose: closes++
    }

    TestCase {
        name: "QuickControls"
        when: windowShown

        readonly property int hand: Qt.PointingHandCursor

        function init() {
            desktop.set({reduceMotion: true})
            session.set({connectionState: "idle", connected: false, listening: true,
                         recovering: false, pairingCode: "", pairingApproved: false,
                         peerApproved: false, peerName: "iPad", canApprove: false})
            session.clearCalls()
            mouseMove(root, 395, 5)
        }

        function fillOf(row) {
            return findChild(row, "menuRowFill").color
        }

        function test_menuRowFillsAndHand() {
            const row = findChild(quick, "openSettings")
            verify(row)
            compare(fillOf(row).a, 0)
            mouseMove(row, 30, 10)
            tryCompare(row, "pointerHovered", true)
            const hovered = fillOf(row)
            fuzzyCompare(hovered.a, Design.colors.neutralFill.a * 0.6, 0.01)
            compare(cursors.shownIn(root.Window.window), hand)
            mousePress(row, 30, 10)
            fuzzyCompare(fillOf(row).a, Design.colors.neutralFill.a, 0.01)
            mouseRelease(row, 30, 10)
            fuzzyCompare(fillOf(row).a, Design.colors.neutralFill.a * 0.6, 0.01)
            mouseMove(root, 395, 5)
            tryCompare(row, "pointerHovered", false)
            compare(fillOf(row).a, 0)
        }

        function test_disabledRowHasNoFillNoHandNoPress() {
            const row = findChild(quick, "checkForUpdates")
            row.visible = true
            row.enabled = false
            mouseMove(row, 30, 10)
            mousePress(row, 30, 10)
            compare(fillOf(row).a, 0)
            verify(cursors.shownIn(root.Window.window) !== hand)
            mouseRelease(row, 30, 10)
            compare(session.shell.updates.calls().length, 0)
        }

        function test_peerNameWithMarkupIsShownLiterally() {
            session.set({connectionState: "pairing", pairingCode: "123456",
                         peerName: "<b>Evil</b><img src='http://x/y'>"})
            const title = findChild(quick, "pairingTitle")
            compare(title.text, "Connect to <b>Evil</b><img src='http://x/y'>")
            compare(title.textFormat, Text.PlainText)
            const chip = findChild(quick, "peerChip")
            compare(chip.caption, "<b>Evil</b><img src='http://x/y'>")
        }

        function test_longNameIsElidedWithTheFullNameInTheToolTip() {
            const name = "A tablet whose name goes on and on well past the width of the card"
            session.set({connectionState: "pairing", pairingCode: "123456", peerName: name})
            waitForRendering(quick)
            const title = findChild(quick, "pairingTitle")
            verify(title.truncated)
            const tip = findChild(title, "nameToolTip")
            verify(tip)
            verify(!tip.visible)
            mouseMove(title, 20, 5)
            tryCompare(tip, "visible", true)
            compare(tip.text, "Connect to " + name)
            mouseMove(root, 395, 5)
            tryCompare(tip, "visible", false)
        }

        function test_approvalChipsShowTheirWholeStatus() {
            session.set({connectionState: "pairing", pairingCode: "123456",
                         pairingApproved: true, peerApproved: true})
            waitForRendering(quick)
            for (const name of ["thisMacChip", "peerChip"]) {
                const status = findChild(findChild(quick, name), "approvalStatus")
                verify(status.text.startsWith("Confirmed on "), status.text)
                verify(!status.truncated, status.text)
            }
        }

        // The badge's animation is keyed on `connected`, not on every new word: the old word
        // fades out as the new one fades in, together.
        function test_signalWordCrossFadesOnlyWhenTheConnectionChanges() {
            desktop.set({reduceMotion: false})
            const signal = findChild(quick, "signalWord")
            const word = findChild(signal, "crossFadeIncoming")
            const outgoing = findChild(signal, "crossFadeOutgoing")
            session.set({listening: false})
            compare(word.text, "Offline")
            compare(word.opacity, 1)
            verify(!outgoing.visible)
            tryCompare(findChild(quick, "connectionSignal"), "settledWord", "Offline")
            session.set({connectionState: "connected", connected: true})
            compare(word.text, "Connected")
            verify(word.opacity < 1)
            verify(outgoing.visible)
            compare(outgoing.text, "Offline")
            fuzzyCompare(word.opacity + outgoing.opacity, 1, 0.001)
            tryCompare(word, "opacity", 1)
            verify(!outgoing.visible)

            // Pairing while connected: a new word, `connected` unchanged, no fade.
            session.set({connectionState: "pairing"})
            compare(word.text, "Pairing")
            compare(word.opacity, 1)
            verify(!outgoing.visible)
            tryCompare(findChild(quick, "connectionSignal"), "settledWord", "Pairing")

            // Connected again lost: the fade starts from the word shown before.
            session.set({connectionState: "failed", connected: false})
            compare(word.text, "Failed")
            verify(outgoing.visible)
            compare(outgoing.text, "Pairing")
            tryCompare(word, "opacity", 1)
        }

        function test_confirmIsDisabledDuringTheFirstSecond() {
            session.set({connectionState: "pairing", canApprove: true, pairingCode: "222222"})
            waitForRendering(quick)
            const confirm = findChild(quick, "approvePairing")
            verify(!confirm.enabled)
            mouseClick(confirm)
            keyClick(Qt.Key_Return)
            compare(session.calls().indexOf("approvePairing"), -1)
        }

        function test_desktopControlSwitchCallsTheSession() {
            session.set({connectionState: "connected", connected: true, activePeer: ""})
            const toggle = findChild(quick, "desktopControl")
            verify(toggle)
            waitForRendering(quick)  // the column places the cards when it polishes
            mouseClick(toggle)
            compare(session.calls(), ["setDesktopControl:true"])
            compare(toggle.checked, false)
        }

        function test_cardHeaderLayoutAndClose() {
            header.height = 99.9
            verify(header.compact)
            header.height = 100
            verify(!header.compact)
            header.height = 76
            compare(findChild(header, "headerClose").Accessible.name, "Close")
            header.closes = 0
            mouseClick(findChild(header, "headerClose"))
            compare(header.closes, 1)
            keyClick(Qt.Key_Escape)
            compare(header.closes, 2)
            verify(!findChild(header, "headerArt").visible)  // no art
            compare(findChild(header, "headerSubtitle").readOnly, true)
        }
    }
}
