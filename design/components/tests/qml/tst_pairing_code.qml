import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 500
    height: 200

    PairingCodeView { id: view; width: 400; code: "472913" }

    TestCase {
        name: "PairingCodeView"
        when: windowShown

        function cells() {
            const row = findChild(view, "codeRow")
            return Array.from(row.children).filter(c => c.objectName === "codeCell").sort((a, b) => a.x - b.x)
        }

        function test_six_cells_in_two_groups() {
            view.code = "472913"
            tryVerify(() => findChild(view, "codeRow").children.length === 7 && cells()[5].x > cells()[4].x)
            const row = cells()
            compare(row.length, 6)
            for (let i = 1; i < row.length; ++i)
                compare(row[i].x - (row[i - 1].x + row[i - 1].width), 8, "spacing before cell " + i)
            // The fourth cell carries the extra 8 points on its leading side.
            compare(row[3].width - row[2].width, 8)
            compare(row[0].height, 64)
            compare(view.Accessible.name, "Verification code 4 7 2 9 1 3")
        }

        function test_short_and_empty_codes() {
            view.code = "123"
            compare(cells().length, 3)
            compare(cells()[2].width, cells()[0].width)
            view.code = ""
            compare(cells().length, 0)
            compare(view.Accessible.name, "Verification code ")
        }

        // A thumbs-up with a skin tone, a flag and an e with a combining accent: one cell each.
        function test_cells_hold_user_perceived_characters() {
            view.code = "1\u{1F44D}\u{1F3FD}\u{1F1EB}\u{1F1F7}e\u0301"
            compare(cells().length, 4)
            compare(view.Accessible.name,
                    "Verification code 1 \u{1F44D}\u{1F3FD} \u{1F1EB}\u{1F1F7} e\u0301")
        }
    }
}
