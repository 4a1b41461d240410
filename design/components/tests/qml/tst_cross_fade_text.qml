import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 300
    height: 100

    CrossFadeText {
        id: every

        fadesEveryChange: true
        text: "Press the shortcut"
    }

    CrossFadeText {
        id: asked

        y: 50
        text: "Offline"
    }

    TestCase {
        name: "CrossFadeText"
        when: windowShown

        function parts(fader) {
            return [findChild(fader, "crossFadeIncoming"), findChild(fader, "crossFadeOutgoing")]
        }

        function init() {
            desktop.set({reduceMotion: false})
            every.finish()
            asked.finish()
        }

        // Every change fades from the text before it, the two opacities always adding up to one.
        function test_everyChangeCrossFades() {
            const [incoming, outgoing] = parts(every)
            every.text = "Got it"
            compare(outgoing.text, "Press the shortcut")
            compare(incoming.opacity, 0)
            compare(outgoing.opacity, 1)
            fuzzyCompare(incoming.opacity + outgoing.opacity, 1, 0.001)
            tryCompare(incoming, "opacity", 1)
            verify(!outgoing.visible)
        }

        // Without `fadesEveryChange` a change fades only when asked, and a fade asked for a text
        // that then stays the same is dropped.
        function test_onlyAskedFadesAndAnUnchangedTextDoesNotFade() {
            const [incoming, outgoing] = parts(asked)
            asked.text = "Ready"
            compare(incoming.opacity, 1)
            verify(!outgoing.visible)

            // What the end of the turn runs.
            asked.fadeFrom("Ready")
            asked.finishUnchanged()
            verify(!outgoing.visible)
            compare(incoming.opacity, 1)

            asked.fadeFrom("Ready")
            asked.text = "Connected"
            compare(outgoing.text, "Ready")
            asked.finishUnchanged()
            verify(outgoing.visible, "a text that arrives in the same turn still fades")
            tryCompare(incoming, "opacity", 1)
        }

        function test_reducedMotionChangesAtOnce() {
            desktop.set({reduceMotion: true})
            const [incoming, outgoing] = parts(every)
            every.text = "Press the shortcut again"
            compare(incoming.opacity, 1)
            verify(!outgoing.visible)
        }
    }
}
