import QtQuick
import QtTest
import QuilloryDesign
import QuilloryInterface

Item {
    id: root

    width: 400
    height: 400

    Component {
        id: standIn

        Rectangle {
            property real wanted: 200
            objectName: "standIn"
            implicitHeight: wanted
            color: "transparent"
        }
    }

    StatusPanelSurface {
        id: surface

        width: 340
        content: standIn
    }

    TestCase {
        name: "StatusPanel"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
        }

        function test_surfaceTakesItsContentsHeight() {
            compare(surface.implicitHeight, 200)
            surface.contentItem.wanted = 310
            compare(surface.implicitHeight, 310)
        }

        function test_fillAndTransparentCorners() {
            const image = grabImage(surface)
            const fill = image.pixel(170, 100)
            verify(Qt.colorEqual(fill, Design.colors.background),
                   "fill " + fill + " vs " + Design.colors.background)
            // Outside the rounded corner the window shows through.
            verify(!Qt.colorEqual(image.pixel(1, 1), Design.colors.background))
        }

        function test_darkAppearanceRepaintsTheSurface() {
            const light = grabImage(surface).pixel(170, 100)
            desktop.set({dark: true, reduceMotion: true})
            const dark = grabImage(surface).pixel(170, 100)
            verify(!Qt.colorEqual(light, dark))
            verify(Qt.colorEqual(dark, Design.colors.background))
        }

        function test_sessionIsReadableFromQml() {
            session.set({connectionState: "pairing", pairingCode: "123456",
                         latency: 12.5, peerName: "Ada's tablet",
                         savedDevices: [{id: "ab12", name: "Studio pad"}]})
            compare(session.connectionStateName, "pairing")
            compare(session.pairingCode, "123456")
            compare(session.latency.kind, "measured")
            verify(session.latency.statusText.endsWith(" ms"))
            compare(session.savedDevices.count, 1)
            compare(session.input.controlDesktop, false)
            compare(session.studio.active, false)
            compare(session.shell.updates.available, false)
            verify(session.approvePairing())
            compare(session.calls()[session.calls().length - 1], "approvePairing")
        }
    }
}
