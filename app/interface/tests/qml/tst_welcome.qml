import QtQuick
import QtTest
import QuilloryDesign
import QuilloryInterface

Item {
    id: root

    width: 640
    height: 620

    property var testSession: session

    Component {
        id: welcomeComponent

        MacWelcome {
            session: root.testSession
        }
    }

    QtObject {
        id: actions

        property var calls: []

        function close() { calls.push("close") }
        function finish() { calls.push("finish") }
    }

    TestCase {
        id: test

        name: "Welcome"
        when: windowShown

        property var view: null

        function init() {
            desktop.set({reduceMotion: true})
            session.set({connected: false, peerName: ""})
            onboardingFixture.accessibility = false
            onboardingFixture.screenRecording = false
            onboardingFixture.setUpdatesAvailable(session.shell.updates, false)
            actions.calls = []
            view = createTemporaryObject(welcomeComponent, root, {actions: actions})
            onboardingFixture.prepare(view.onboarding)
            waitForRendering(view)
        }

        function child(name) {
            const found = findChild(view, name)
            verify(found, name)
            return found
        }

        function goTo(step) {
            for (let i = 0; i < step; ++i)
                view.onboarding.advance()
        }

        function test_artNameAndFramePerStep_data() {
            return [
                {tag: "welcome", step: 0, connected: false, art: "onboarding-menubar",
                 frame: [0.74, 0.72, 0.5, 0.52]},
                {tag: "permissions", step: 1, connected: true, art: "onboarding-permissions",
                 frame: [0.36, 0.74, 0.25, 0.53]},
                {tag: "connect", step: 2, connected: false, art: "onboarding-connect",
                 frame: [0.76, 0.76, 0.5, 0.54]},
                {tag: "connected", step: 2, connected: true, art: "onboarding-connected",
                 frame: [0.6, 0.76, 0.5, 0.54]},
            ]
        }

        function test_artNameAndFramePerStep(data) {
            session.set({connected: data.connected})
            goTo(data.step)
            const hero = child("welcomeHero")
            const art = hero.currentArt
            compare(art.name, data.art)
            compare(art.source.toString(), "qrc:/art/" + data.art + ".svg")
            fuzzyCompare(art.width, data.frame[0] * 620, 0.01)
            fuzzyCompare(art.height, data.frame[1] * 318, 0.01)
            fuzzyCompare(art.x + art.width / 2, data.frame[2] * 620, 0.01)
            // At rest, 5 points below its centre.
            fuzzyCompare(art.y + art.height / 2, data.frame[3] * 318 + 5, 0.01)
            compare(art.opacity, 1)
            compare(child("permissionsIllustration").visible, data.step === 1)
        }

        function test_theTabletConnectingSwapsTheArtWithATransition() {
            desktop.set({reduceMotion: false})
            goTo(2)
            const hero = child("welcomeHero")
            const before = hero.currentArt
            tryCompare(before, "opacity", 1)
            session.set({peerName: "Studio iPad", connected: true})
            const after = hero.currentArt
            verify(after !== before)
            compare(after.name, "onboarding-connected")
            fuzzyCompare(after.width, 0.6 * 620, 0.01)
            verify(after.opacity < 1)           // fading in ...
            verify(before.leaving)              // ... while the old one leaves
            tryCompare(after, "opacity", 1)
            tryCompare(before, "visible", false)
            verify(before.scale > 1)            // it grew on the way out
            compare(child("welcomeTitle").text, "You’re connected")
        }

        function test_copyCrossFadesOnlyWhenItsTextsChange() {
            desktop.set({reduceMotion: false})
            const copy = child("welcomeCopy")
            const leaving = child("welcomeLeavingCopy")
            compare(copy.presence, 1)
            view.onboarding.computerName = "Elsewhere"  // announced, but the first step names none
            compare(copy.presence, 1)
            const before = child("welcomeTitle").text
            view.onboarding.advance()
            verify(copy.presence < 0.5)
            verify(leaving.opacity > 0.5)
            compare(leaving.title, before)
            tryCompare(copy, "presence", 1)
            compare(leaving.visible, false)
        }

        function test_subtitles_data() {
            return [
                {tag: "no name", name: "", peer: "",
                 text: "Choose Mac, then confirm the same code on both screens."},
                {tag: "a name", name: "Loft %1", peer: "",
                 text: "Choose Loft %1, then confirm the same code on both screens."},
                {tag: "peer markup", name: "", peer: "<b>Ann</b> %1",
                 text: "<b>Ann</b> %1 is ready. Draw, and your strokes land in the app in front."},
            ]
        }

        function test_subtitles(data) {
            session.set({peerName: data.peer, connected: data.peer.length > 0})
            view.onboarding.computerName = data.name
            goTo(2)
            const subtitle = child("welcomeSubtitle")
            compare(subtitle.text, data.text)
            compare(subtitle.textFormat, Text.PlainText)
            verify(subtitle.width <= 440)
        }

        function test_reduceMotionRestsTheArtLowWithNothingRunning() {
            const hero = child("welcomeHero")
            wait(0)  // the turn after the hero appeared
            verify(!hero.floats)
            verify(!hero.floating)
            compare(hero.floatOffset, 5)
            view.onboarding.advance()
            compare(hero.currentArt.opacity, 1)  // swapped at once
            compare(hero.previousArt.visible, false)
        }

        function test_floatsOneTurnAfterAppearingWithMotion() {
            desktop.set({reduceMotion: false})
            const floating = createTemporaryObject(welcomeComponent, root, {actions: actions})
            const hero = findChild(floating, "welcomeHero")
            verify(!hero.floats)
            tryCompare(hero, "floating", true)
            desktop.set({reduceMotion: true})
            compare(hero.floating, false)
            compare(hero.floatOffset, 5)
        }

        function test_heroIsHiddenFromAccessibilityButEscapeSkips() {
            verify(child("welcomeHero").Accessible.ignored)
            verify(child("skipButton").Accessible.ignored)
            verify(child("stepMarkers").Accessible.ignored)
            session.shell.loginItem.set({enabled: false})
            goTo(2)
            keyClick(Qt.Key_Escape)
            compare(actions.calls, ["close", "finish"])
            compare(onboardingFixture.completed(), true)
            compare(session.shell.loginItem.enabled, true)  // the chip's choice, on by default
        }

        function test_skipIsOnEveryStep() {
            for (let step = 0; step < 3; ++step) {
                const skip = child("skipButton")
                verify(skip.visible)
                compare(skip.text, "Skip")
                if (step < 2)
                    view.onboarding.advance()
            }
            compare(actions.calls, [])
            mouseClick(child("skipButton"))
            compare(actions.calls, ["close", "finish"])
        }

        function test_onlyOpenAtLoginWithoutUpdates() {
            goTo(2)
            verify(child("openAtLoginChip").visible)
            verify(!child("updatesChip").visible)
            onboardingFixture.setUpdatesAvailable(session.shell.updates, true)
            verify(child("updatesChip").visible)
            const updates = session.shell.updates
            const was = updates.automaticChecks
            mouseClick(child("updatesChip"))
            compare(updates.automaticChecks, !was)
        }

        function test_aClickOnTheChipsPaddingFlipsIt() {
            goTo(2)
            waitForRendering(view)
            const chip = child("openAtLoginChip")
            compare(chip.on, true)
            compare(chip.Accessible.selected, true)
            compare(child("chipLabel").color, Design.colors.primaryText)
            mouseClick(chip, 3, chip.height / 2)                // the leading padding
            compare(view.onboarding.openAtLogin, false)
            compare(chip.on, false)
            compare(chip.Accessible.selected, false)
            compare(child("chipLabel").color, Design.colors.secondaryText)
            mouseClick(chip, chip.width - 4, chip.height / 2)   // the trailing padding
            compare(view.onboarding.openAtLogin, true)
        }

        function test_markersOfTheSecondStep() {
            view.onboarding.advance()
            const widths = [0, 1, 2].map(i => child("stepMarker" + i).width)
            compare(widths, [6, 18, 6])
            compare(child("stepMarker1").color, Design.colors.accent)
            compare(child("stepMarker0").color, Design.colors.rule)
            compare(child("stepMarker2").height, 6)
        }

        function test_grantsShowBadgesAndNoButton() {
            view.onboarding.advance()
            compare(findChild(child("accessibilityChip"), "allowButton").visible, true)
            compare(findChild(child("accessibilityChip"), "allowButton").text,
                    "Allow Desktop control access…")
            mouseClick(findChild(child("accessibilityChip"), "allowButton"))
            compare(session.calls().indexOf("requestInputAccess") >= 0, true)
            compare(findChild(child("accessibilityChip"), "grantedBadge").visible, false)

            onboardingFixture.accessibility = true
            onboardingFixture.screenRecording = true
            view.onboarding.refresh()
            for (const name of ["accessibilityChip", "screenRecordingChip"]) {
                verify(findChild(child(name), "grantedBadge").visible, name)
                verify(!findChild(child(name), "allowButton").visible, name)
            }
            compare(findChild(child("screenRecordingChip"), "grantedBadgeText").text,
                    "Screen Recording")
            compare(child("primaryButton").text, "Continue")
            // The illustration's switches turned blue.
            compare(child("accessibilitySwitch").on, true)
        }

        function test_returnRunsThePrimaryButtonOnEveryStep() {
            const titles = ["Get started", "Later", "Done"]
            for (let step = 0; step < 3; ++step) {
                compare(view.onboarding.stepIndex, step)
                compare(child("primaryButton").text, titles[step])
                verify(child("primaryButton").width >= 112 + 40)
                compare(child("backButton").visible, step > 0)
                keyClick(Qt.Key_Return)
            }
            compare(actions.calls, ["close", "finish"])
            compare(session.shell.loginItem.enabled, true)  // "Open at login" starts on
        }
    }
}
