import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 600
    height: 400

    Item {
        id: scope

        DesignControl.materialMode: "automatic"

        ControlSurface {
            id: surface

            width: 120
            height: 40
            radius: 20
        }
    }

    IconTile {
        id: tile

        x: 240
        icon: "grid"
        dimension: 40
    }

    VorelTile {
        id: vorel

        x: 300
        dimension: 60
        searching: true
    }

    TestCase {
        name: "Surfaces"
        when: windowShown

        function init() {
            desktop.set(true, false, false)
            scope.DesignControl.materialMode = "automatic"
            surface.prominent = false
        }

        function fill() {
            return findChild(surface, "surfaceFill")
        }

        function border() {
            return findChild(surface, "surfaceBorder")
        }

        function test_material_modes_data() {
            return [
                { tag: "automatic", mode: "automatic", prominent: false, transparency: false,
                  alpha: 1, border: true, accent: false },
                { tag: "fallback", mode: "fallback", prominent: false, transparency: false,
                  alpha: 0.85, border: true, accent: false },
                { tag: "fallback prominent", mode: "fallback", prominent: true,
                  transparency: false, alpha: 1, border: false, accent: true },
                { tag: "opaque prominent", mode: "opaque", prominent: true, transparency: false,
                  alpha: 1, border: true, accent: true },
                { tag: "fallback, less transparency", mode: "fallback", prominent: false,
                  transparency: true, alpha: 1, border: true, accent: false },
            ]
        }

        function test_material_modes(data) {
            desktop.set(true, data.transparency, false)
            scope.DesignControl.materialMode = data.mode
            surface.prominent = data.prominent
            fuzzyCompare(fill().color.a, data.alpha, 0.01)
            compare(border().visible, data.border)
            if (data.accent) {
                compare(fill().color, Design.colors.accent)
            } else {
                fuzzyCompare(fill().color.r, Design.colors.controlFill.r, 0.01)
            }
        }

        function test_increased_contrast_is_opaque() {
            desktop.set(true, false, true)
            scope.DesignControl.materialMode = "fallback"
            compare(fill().color.a, 1)
        }

        function test_any_tint_turns_the_icon_white() {
            compare(tile.radius, 12)
            compare(findChild(tile, "tileIcon").size, 0.56 * 40)
            compare(tile.color, Design.colors.neutralFill)
            tile.tint = "transparent"
            compare(findChild(tile, "tileIcon").color, Qt.color("white"))
            tile.tint = undefined
            compare(findChild(tile, "tileIcon").color, Design.colors.primaryText)
        }

        function test_vorel_tile_stands_still_with_reduce_motion() {
            compare(vorel.width, 108)
            compare(vorel.phase, 0)
            verify(!vorel.animating)
            desktop.set(false, false, false)
            verify(vorel.animating)
            tryVerify(() => vorel.phase > 0, 3000)
            desktop.set(true, false, false)
            tryCompare(vorel, "phase", 0)
            vorel.searching = false
            compare(vorel.width, 108)
        }
    }
}
