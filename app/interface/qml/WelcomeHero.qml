import QtQuick
import QtQuick.Shapes
import QuilloryDesign
import QuilloryInterface

// The welcome window's blue hero: the gradient and its glow, the step's picture (swapped with a
// fade and scale, floating gently unless motion is reduced), the permissions card on its step and
// "Skip" at the top trailing corner, which Escape also reaches. Assistive technology skips the
// whole hero: the copy below says the same.
Item {
    id: hero

    property OnboardingModel model
    property real cornerRadius: 34
    // The picture's fraction of the hero, per name: width, height, centre x, centre y.
    readonly property var frames: ({
        "onboarding-menubar": [0.74, 0.72, 0.5, 0.52],
        "onboarding-permissions": [0.36, 0.74, 0.25, 0.53],
        "onboarding-connected": [0.6, 0.76, 0.5, 0.54],
        "onboarding-connect": [0.76, 0.76, 0.5, 0.54]
    })
    // Set one turn after the hero appears, never with reduced motion, never unset.
    property bool floats: false
    // The picture's offset: 5 below its place at rest, swinging to 5 above while floating.
    property real floatOffset: 5
    readonly property bool floating: floatAnimation.running
    readonly property Item currentArt: firstIsCurrent ? artA : artB
    readonly property Item previousArt: firstIsCurrent ? artB : artA
    property bool firstIsCurrent: true
    property MotionSpring artMotion: Motion.gentle
    property int artStep: 0

    signal skip()

    objectName: "welcomeHero"
    width: 620
    height: 318
    clip: true
    Accessible.ignored: true

    function swapArt(name) {
        if (name === currentArt.name)
            return
        const incoming = previousArt
        const outgoing = currentArt
        incoming.leaving = false
        incoming.name = name
        outgoing.leaving = true
        if (Appearance.reduceMotion) {
            incoming.snap(1)
            outgoing.snap(0)
        } else {
            incoming.snap(0)
            incoming.presence = 1
            outgoing.presence = 0
        }
        firstIsCurrent = !firstIsCurrent
    }

    Connections {
        target: hero.model

        // A new step springs gently, the tablet connecting on the same step bouncily.
        function onTextsChanged() {
            if (hero.model.artName === hero.currentArt.name)
                return
            hero.artMotion = hero.model.stepIndex !== hero.artStep ? Motion.gentle : Motion.bouncy
            hero.artStep = hero.model.stepIndex
            hero.swapArt(hero.model.artName)
        }
    }

    Component.onCompleted: {
        artA.name = model ? model.artName : ""
        artStep = model ? model.stepIndex : 0
        artA.snap(1)
        if (!Appearance.reduceMotion)
            Qt.callLater(() => hero.floats = true)
    }

    Rectangle {
        objectName: "heroGradient"
        width: parent.width
        height: parent.height + hero.cornerRadius
        radius: hero.cornerRadius
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.rgba(0.36, 0.49, 1.0, 1) }
            GradientStop {
                position: hero.height / (hero.height + hero.cornerRadius)
                color: Qt.rgba(0.16, 0.30, 0.95, 1)
            }
        }
    }

    Shape {
        anchors.fill: parent

        ShapePath {
            strokeColor: "transparent"
            fillGradient: RadialGradient {
                centerX: 0.5 * hero.width
                centerY: 0.55 * hero.height
                centerRadius: 240
                focalX: centerX
                focalY: centerY
                GradientStop { position: 0; color: Qt.rgba(1, 1, 1, 0.2) }
                GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 0) }
            }
            startX: 0
            startY: 0
            PathLine { x: hero.width; y: 0 }
            PathLine { x: hero.width; y: hero.height }
            PathLine { x: 0; y: hero.height }
            PathLine { x: 0; y: 0 }
        }
    }

    component ArtSlot: Image {
        id: slot

        property string name
        property bool leaving: false
        property real presence: 0
        readonly property var frame: hero.frames[name] || [0, 0, 0.5, 0.5]

        function snap(value) {
            presenceBehavior.enabled = false
            presence = value
            presenceBehavior.enabled = true
        }

        source: CardArt.source(name)
        width: frame[0] * hero.width
        height: frame[1] * hero.height
        x: frame[2] * hero.width - width / 2
        y: frame[3] * hero.height - height / 2 + hero.floatOffset
        sourceSize: Qt.size(2 * width, 2 * height)
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
        opacity: presence
        scale: leaving ? 1 + 0.04 * (1 - presence) : 0.92 + 0.08 * presence
        visible: presence > 0.001 && name.length > 0

        Behavior on presence {
            id: presenceBehavior

            enabled: !Appearance.reduceMotion

            SpringAnimation {
                spring: hero.artMotion.spring
                damping: hero.artMotion.damping
                mass: hero.artMotion.mass
                epsilon: 0.001
            }
        }
    }

    ArtSlot { id: artA }
    ArtSlot { id: artB }

    SequentialAnimation {
        id: floatAnimation

        running: hero.floats && !Appearance.reduceMotion && hero.visible
        loops: Animation.Infinite
        onRunningChanged: if (!running) hero.floatOffset = 5

        NumberAnimation {
            target: hero
            property: "floatOffset"
            from: 5
            to: -5
            duration: 2400
            easing.type: Easing.BezierSpline
            easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
        }
        NumberAnimation {
            target: hero
            property: "floatOffset"
            from: -5
            to: 5
            duration: 2400
            easing.type: Easing.BezierSpline
            easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
        }
    }

    PermissionsIllustration {
        id: illustration

        property real presence: hero.model && hero.model.stepIndex === 1 ? 1 : 0

        x: 0.69 * hero.width - width / 2
        y: 0.52 * hero.height - height / 2
        accessibility: hero.model ? hero.model.accessibility : false
        screenRecording: hero.model ? hero.model.screenRecording : false
        opacity: presence
        scale: 0.9 + 0.1 * presence
        visible: presence > 0.001

        SpringBehavior on presence { motion: Motion.gentle }
    }

    DesignPlainButtonStyle {
        id: skipButton

        objectName: "skipButton"
        x: hero.width - width - 20
        y: 20
        leftPadding: 14
        rightPadding: 14
        implicitWidth: implicitContentWidth + leftPadding + rightPadding
        implicitHeight: 28
        text: qsTr("Skip")
        font.family: PadType.caption.family
        font.pixelSize: PadType.caption.pixelSize
        font.weight: Font.DemiBold
        foreground: Qt.rgba(1, 1, 1, 0.9)
        Accessible.ignored: true
        onClicked: hero.skip()

        contentItem: DText {
            text: skipButton.text
            font: skipButton.font
            color: skipButton.foreground
            verticalAlignment: Text.AlignVCenter
        }

        background: Rectangle {
            radius: height / 2
            color: Qt.rgba(1, 1, 1, 0.16)
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.22)

            FocusRing {
                anchors.fill: parent
                control: skipButton
            }
        }
    }

    Shortcut {
        sequence: "Escape"
        context: Qt.WindowShortcut
        onActivated: skipButton.clicked()
    }
}
