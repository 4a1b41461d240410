import QtQuick
import QtTest
import QuilloryDesign
import QuilloryInterface

Item {
    id: root

    width: 400
    height: 300

    GuideModel {
        id: guide
    }

    GuideCard {
        id: card

        model: guide
    }

    SignalSpy {
        id: closes

        target: guide
        signalName: "closeRequested"
    }

    TestCase {
        name: "GuideCard"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
            guide.reset(0)
            closes.clear()
        }

        function child(name) {
            const found = findChild(card, name)
            verify(found, name)
            return found
        }

        function test_textsPerKindAndState() {
            compare(child("guideTitle").text, "Switch Quillory on")
            verify(child("guideHelp").text.indexOf("/dev/uinput") >= 0)
            guide.reset(1)
            compare(child("guideTitle").text, "Switch Quillory on")
            verify(child("guideHelp").text.indexOf("/dev/uinput") < 0)
            guide.setDone()
            compare(child("guideTitle").text, "Screen Recording is on")
            compare(child("guideHelp").text, "Taking you back to Quillory…")
            guide.reset(0)
            guide.setDone()
            compare(child("guideTitle").text, "Desktop control access is on")
        }

        // The system family has a real semibold face; the design's has only its regular one.
        function test_textsAreInTheSystemFamily() {
            for (const [name, size] of [["guideTitle", 14], ["guideHelp", 12]]) {
                compare(child(name).font.family, PadType.body.family)
                compare(child(name).font.pixelSize, size)
            }
        }

        function test_manualStepsAreSelectablePlainText() {
            verify(!child("guideCommands").visible)
            guide.setManual("sudo modprobe uinput\n<b>not markup</b>")
            const commands = child("guideCommands")
            verify(commands.visible)
            verify(commands.readOnly && commands.selectByMouse)
            compare(commands.textFormat, TextEdit.PlainText)
            compare(commands.text, "sudo modprobe uinput\n<b>not markup</b>")
            verify(child("guideHelp").text.indexOf("could not finish") >= 0)
            // Access after all: the confirmation replaces the steps.
            guide.setDone()
            verify(!child("guideCommands").visible)
        }

        function test_closeButtonOnlyWhileWaiting() {
            const close = child("guideClose")
            verify(close.visible)
            mouseClick(close)
            compare(closes.count, 1)
            guide.setDone()
            verify(!close.visible)
            verify(!child("guideRelaunch").visible)
            // A confirmation that stays for the relaunch can still be closed.
            guide.setRelaunchOffered()
            verify(close.visible)
            verify(child("guideRelaunch").visible)
            verify(child("guideHelp").text.indexOf("Relaunch") >= 0)
        }

        function test_reduceMotionSwitchesAtOnceWithNothingRunning() {
            verify(!child("guideBob").running)
            guide.setDone()
            compare(child("guideSuccessTile").scale, 1)
            compare(child("guideSuccessTile").opacity, 1)
            verify(!child("guideAppIcon").visible)
        }

        function test_motionBobsTheIconAndSpringsTheTile() {
            desktop.set({reduceMotion: false})
            verify(child("guideBob").running)
            tryVerify(() => child("guideAppIcon").bob > 0.5)
            guide.setDone()
            verify(!child("guideBob").running)
            verify(child("guideSuccessTile").opacity < 1)
            tryCompare(child("guideSuccessTile"), "opacity", 1, 3000)
        }

        function test_surfaceAndSuccessColours() {
            guide.setDone()
            const image = grabImage(card)
            verify(Qt.colorEqual(image.pixel(card.width - 30, card.height / 2),
                                 Design.colors.controlFill))
            const tile = findChild(card, "guideSuccessTile")
            const centre = tile.mapToItem(card, 6, 6)
            verify(Qt.colorEqual(image.pixel(centre.x, centre.y), Design.colors.success))
        }
    }
}
