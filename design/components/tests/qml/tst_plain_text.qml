import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 600
    height: 400

    readonly property string markup: "<b>Evil</b><br>Pad <img src=\"http://example.invalid/x.png\">"

    PadRow { id: row; width: 500; title: root.markup; detail: root.markup }
    PadRow { id: bareRow; y: 300; width: 500; title: "Grid" }
    PadSectionHeader { id: header; y: 80; width: 500; title: "Your <i>computers</i>" }
    DesignNotice { id: notice; y: 120; width: 500; message: root.markup }
    ConnectionStatusLabel { id: status; y: 200; text: root.markup }
    PillButtonStyle { id: pill; y: 240; text: root.markup }

    TestCase {
        name: "PlainText"
        when: windowShown

        function check(text, expected) {
            compare(text.textFormat, Text.PlainText)
            compare(text.text, expected)
            // Rendered as markup, <br> would break the line.
            compare(text.lineCount, 1)
        }

        function test_texts_from_data_are_shown_verbatim() {
            check(findChild(row, "rowTitle"), root.markup)
            check(findChild(row, "rowDetail"), root.markup)
            check(findChild(header, "headerTitle"), "YOUR <I>COMPUTERS</I>")
            check(findChild(notice, "noticeMessage"), root.markup)
            check(findChild(status, "statusCaption"), root.markup)
            check(pill.contentItem, root.markup)
            verify(!findChild(bareRow, "rowDetail").visible, "no detail, no second line")
        }

        function test_long_notice_grows_instead_of_cutting() {
            const grown = createTemporaryQmlObject(
                "import QtQuick; import QuilloryDesign; DesignNotice { width: 300; message: \"Gone.\" }",
                root)
            const before = grown.height
            grown.message = "Connection interrupted. ".repeat(20)
            tryVerify(() => grown.height > before + 100)
            compare(findChild(grown, "noticeMessage").truncated, false)
        }
    }
}
