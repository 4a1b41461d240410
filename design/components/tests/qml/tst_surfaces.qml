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

        ControlSurface { id: surface; width: 120; height: 40; radius: 20 }
    }

    Item {
        id: outer

        DesignControl.materialMode: "opaque"

        Item {
            id: inner

            Item { id: leaf; property string mode: DesignControl.materialMode; property bool pressed: DesignControl.pressed }
        }
    }

    Component {
        id: nested

        Item { Item { property string mode: DesignControl.materialMode } }
    }

    IconTile { id: tile; x: 240; icon: "grid"; dimension: 40 }
    VorelTile { id: vorel; x: 300; dimension: 60; searching: true }

    TestCase {
        name: "Surfaces"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
        }

        function test_control_values_flow_down_to_the_nearest_setting() {
            compare(leaf.mode, "opaque")
            inner.DesignControl.pressed = true
            inner.DesignControl.materialMode = "fallback"
            verify(leaf.pressed)
            compare(leaf.mode, "fallback")
            inner.DesignControl.pressed = undefined
            inner.DesignControl.materialMode = undefined
            verify(!leaf.pressed)
            compare(leaf.mode, "opaque")
            outer.DesignControl.materialMode = "glass"
            compare(leaf.mode, "opaque", "an unknown name changes nothing")
            leaf.parent = null
            compare(leaf.mode, "automatic", "outside the tree: the default")
            leaf.parent = inner
            compare(leaf.mode, "opaque")
        }

        function test_material_modes_data() {
            return [
                { tag: "automatic", mode: "automatic", alpha: 1, border: true },
                { tag: "fallback", mode: "fallback", alpha: 0.85, border: true },
                { tag: "fallback prominent", mode: "fallback", prominent: true, alpha: 1,
                  border: false, accent: true },
                { tag: "opaque prominent", mode: "opaque", prominent: true, alpha: 1, border: true,
                  accent: true },
                { tag: "fallback, less transparency", mode: "fallback", transparency: true,
                  alpha: 1, border: true },
                { tag: "fallback, increased contrast", mode: "fallback", contrast: true, alpha: 1,
                  border: true },
            ]
        }

        function test_material_modes(data) {
            desktop.set({reduceMotion: true, reduceTransparency: !!data.transparency,
                         highContrast: !!data.contrast})
            scope.DesignControl.materialMode = data.mode
            surface.prominent = !!data.prominent
            const fill = findChild(surface, "surfaceFill")
            fuzzyCompare(fill.color.a, data.alpha, 0.01)
            compare(findChild(surface, "surfaceBorder").visible, data.border)
            if (data.accent)
                compare(fill.color, Design.colors.accent)
            else
                fuzzyCompare(fill.color.r, Design.colors.controlFill.r, 0.01)
        }

        function test_any_tint_turns_the_icon_white() {
            tile.tint = "transparent"
            compare(findChild(tile, "tileIcon").color, Qt.color("white"))
            tile.tint = undefined
            compare(findChild(tile, "tileIcon").color, Design.colors.primaryText)
        }

        function test_vorel_tile_stands_still_with_reduce_motion() {
            compare(vorel.phase, 0)
            verify(!vorel.animating)
            desktop.set({})
            verify(vorel.animating)
            tryVerify(() => vorel.phase > 0, 3000)
            desktop.set({reduceMotion: true})
            tryCompare(vorel, "phase", 0)
        }

        function test_control_values_follow_a_middle_item_that_moves() {
            const middle = createTemporaryObject(nested, scope)
            const leaf = middle.children[0]
            compare(leaf.mode, "automatic")
            middle.parent = inner
            compare(leaf.mode, "opaque")
            middle.parent = scope
            compare(leaf.mode, "automatic")
        }

        function test_full_width_pieces_fill_a_column_and_a_layout_data() {
            return [{ tag: "column", container: "Column" },
                    { tag: "layout", container: "ColumnLayout" }]
        }

        function test_full_width_pieces_fill_a_column_and_a_layout(data) {
            const column = createTemporaryQmlObject(
                "import QtQuick; import QtQuick.Layouts; import QuilloryDesign; " + data.container
                + " { width: 320; DesignNotice { message: \"Short.\" } DesignRule {} "
                + "PillButtonStyle { expand: true; text: \"Go\" } PillButtonStyle { text: \"Go\" } }",
                root)
            const notice = column.children[0]
            const rule = column.children[1]
            const expanded = column.children[2]
            const regular = column.children[3]
            tryCompare(notice, "width", 320)
            compare(rule.width, 320)
            compare(expanded.width, 320)
            fuzzyCompare(regular.width, regular.implicitWidth, 1, "only an expanded pill stretches")
            column.width = 200
            tryCompare(notice, "width", 200)
            compare(rule.width, 200)
            compare(expanded.width, 200)
        }
    }
}
