import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 500
    height: 200

    property var chosen: []

    SegmentedSwitch {
        id: segmented

        x: 20; y: 20; selection: 1; segmentWidth: 80
        options: [{ value: 0, title: "Tablet" }, { value: 1, title: "Studio" }, { value: 2, title: "Keys" }]
        onActivated: value => {
            root.chosen.push(value)
            selection = value
        }
    }

    TestCase {
        name: "SegmentedSwitch"
        when: windowShown

        function init() {
            desktop.set({reduceMotion: true})
            segmented.selection = 1
            segmented.segmentWidth = 80
            root.chosen = []
        }

        function segment(index) {
            return findChild(segmented, "segment" + index)
        }

        function thumb() {
            return findChild(segmented, "segmentThumb")
        }

        function test_clicking_chooses_and_clicking_the_selection_does_nothing() {
            compare(segmented.width, 240)
            tryCompare(thumb(), "x", 80, 20000)
            verify(segment(1).Accessible.selected && !segment(0).Accessible.selected)
            mouseClick(segment(1))
            compare(root.chosen, [])
            mouseClick(segment(2))
            compare(root.chosen, [2])
            compare(segmented.selectedIndex, 2)
            compare(thumb().x, 160, "with Reduce Motion the thumb is already there")

            segmented.selection = 7
            compare(segmented.selectedIndex, -1)
            verify(!thumb().visible)
            mouseClick(segment(0))
            compare(root.chosen, [2, 0])
            verify(thumb().visible)
        }

        function test_thumb_springs_with_motion() {
            desktop.set({})
            mouseClick(segment(0))
            verify(thumb().x > 0, "the thumb starts from the old segment")
            tryCompare(thumb(), "x", 0, 20000)
        }

        function test_keyboard() {
            segmented.forceActiveFocus()
            keyClick(Qt.Key_Left)
            compare(segmented.selection, 0)
            keyClick(Qt.Key_Left)
            compare(root.chosen, [0], "nothing before the first segment")
            keyClick(Qt.Key_End)
            compare(segmented.selection, 2)
            keyClick(Qt.Key_Right)
            keyClick(Qt.Key_Home)
            compare(root.chosen, [0, 2, 0])
        }

        // `room`: the segment's room for the title as a share of the title's natural width.
        function test_long_titles_shrink_to_four_fifths_then_are_cut_short_data() {
            return [{ tag: "fits", room: 1.2, drawn: 1, cut: false },
                    { tag: "a little long", room: 0.9, drawn: 0.9, cut: false },
                    { tag: "beyond four fifths", room: 0.77, drawn: 0.8, cut: true }]
        }

        function test_long_titles_shrink_to_four_fifths_then_are_cut_short(data) {
            const full = createTemporaryQmlObject(
                "import QuilloryDesign; DText { font: PadType.calloutSemibold; text: \"Studio\" }",
                root)
            segmented.segmentWidth = 32 + full.implicitWidth * data.room
            const title = findChild(segment(1), "segmentTitle")
            waitForRendering(segmented)
            compare(title.truncated, data.cut)
            verify(title.paintedWidth * title.scale <= segmented.segmentWidth - 32 + 0.5)
            if (!data.cut)
                fuzzyCompare(title.paintedWidth * title.scale / full.implicitWidth, data.drawn, 0.02)
        }

        function test_segments_share_the_width_without_a_segment_width() {
            segmented.segmentWidth = -1
            segmented.width = 300
            tryCompare(segment(2), "width", 100)
            compare(segment(0).width, 100)
            segmented.width = undefined
        }
    }
}
