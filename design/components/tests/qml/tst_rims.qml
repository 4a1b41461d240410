import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 420
    height: 260

    // Direct children of the root: grabImage() crops the window at the item's own x and y.
    Rectangle { width: root.width; height: root.height; color: "black" }
    PillButtonStyle { id: pill; x: 20; y: 20; width: 200; height: 52; text: "" }
    VorelTile { id: tile; x: 240; y: 20; dimension: 100 }

    TestCase {
        name: "Rims"
        when: windowShown

        function brightness(c) {
            return c.r + c.g + c.b
        }

        // How much the rim lightens the face at the shape's left edge `row` pixels down, against
        // the face's own colour in its middle.
        function rimAt(image, left, row, face) {
            let brightest = -3
            for (let x = left; x < left + 3; ++x)
                brightest = Math.max(brightest, brightness(image.pixel(x, row)))
            return brightest - face
        }

        function test_rims_fade_from_the_top_to_clear_at_the_centre_data() {
            return [{ tag: "pill", item: pill, face: () => ({ x: 0, y: 0, height: pill.height }) },
                    { tag: "vorel tile", item: tile, face: () => findChild(tile, "vorelFace") }]
        }

        function test_rims_fade_from_the_top_to_clear_at_the_centre(data) {
            desktop.set({reduceMotion: true})
            const image = grabImage(data.item)
            const face = data.face()
            const left = Math.round(face.x)
            const top = Math.round(face.y)
            const h = face.height
            const fill = brightness(image.pixel(left + 6, top + 0.5 * h))
            const atTop = brightness(image.pixel(left + h / 2 + 10, top)) - fill
            verify(atTop > 0.15, "the rim shows at the top edge: " + atTop)
            const low = rimAt(image, left, top + Math.round(0.45 * h), fill)
            verify(low < 0.3 * atTop, "faded near the centre: " + low + " of " + atTop)
            verify(rimAt(image, left, top + Math.round(0.6 * h), fill) < 0.05, "none below it")
        }
    }
}
