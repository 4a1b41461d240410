import QtQuick
import QuilloryDesign

// A text whose change cross-fades on a spring: the old text fades out where it stood while the
// new one fades in. With `fadesEveryChange` each new text fades in; otherwise only a fadeFrom()
// the view asks for does, as when the change belongs to an animation keyed on something else.
// Nothing fades while reduced motion is asked for.
Item {
    id: fader

    property alias text: incoming.text
    property alias font: incoming.font
    property alias color: incoming.color
    property alias horizontalAlignment: incoming.horizontalAlignment
    property alias wrapMode: incoming.wrapMode
    property MotionSpring motion: Motion.standard
    property bool fadesEveryChange: false
    // How far the fade has come: 0 shows the old text, 1 the new one.
    property real progress: 1
    // The text last shown, which the next change fades from.
    property string previous

    // Cross-fades from `old` to the current text. The new text may also arrive just after the
    // call, in the same turn of the event loop; if it turns out the same, nothing fades.
    function fadeFrom(old) {
        if (!Motion.enabled) {
            finish()
            return
        }
        outgoing.text = old
        progress = 0
        spring.restart()
        Qt.callLater(fader.finishUnchanged)
    }

    function finishUnchanged() {
        if (outgoing.text === incoming.text)
            finish()
    }

    function finish() {
        spring.stop()
        progress = 1
    }

    implicitWidth: incoming.implicitWidth
    implicitHeight: incoming.implicitHeight
    Component.onCompleted: previous = incoming.text

    DText {
        id: incoming

        objectName: "crossFadeIncoming"
        width: parent.width
        opacity: fader.progress
        Accessible.ignored: true
        onTextChanged: {
            if (fader.fadesEveryChange)
                fader.fadeFrom(fader.previous)
            fader.previous = incoming.text
        }
    }

    DText {
        id: outgoing

        objectName: "crossFadeOutgoing"
        width: parent.width
        visible: fader.progress < 1
        opacity: 1 - fader.progress
        font: incoming.font
        color: incoming.color
        horizontalAlignment: incoming.horizontalAlignment
        wrapMode: incoming.wrapMode
        Accessible.ignored: true
    }

    SpringAnimation {
        id: spring

        target: fader
        property: "progress"
        from: 0
        to: 1
        spring: fader.motion.spring
        damping: fader.motion.damping
        mass: fader.motion.mass
        epsilon: 0.001
    }
}
