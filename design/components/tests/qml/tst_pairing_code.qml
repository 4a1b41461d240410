import QtQuick
import QtTest
import QuilloryDesign

Item {
    id: root

    width: 500
    height: 200

    PairingCodeView {
        id: view

        width: 400
        code: "472913"
    }

    TestCase {
        name: "PairingCodeView"
        when: windowShown

        function cells() {
            const row = findChild(view, "codeRow")
            const found = []
            for (let i = 0; i < row.children.length; ++i) {
                if (row.children[i].objectName === "codeCell")
                    found.push(row.children[i])
            }
            return found.sort((a, b) => a.x - b.x)
        }

        function test_six_cells_in_two_groups() {
            view.code = "472913"
            const row = findChild(view, "codeRow")
            tryVerify(() => row.children.length === 7
                      && cells()[5].x > cells()[4].x)
            const cellsRow = cells()
            compare(cellsRow.length, 6)
            for (let i = 1; i < cellsRow.length; ++i) {
                const gap = cellsRow[i].x - (cellsRow[i - 1].x + cellsRow[i - 1].width)
                compare(gap, 8, "spacing before cell " + i)
            }
            // The fourth cell carries the extra 8 points on its leading side.
            compare(cellsRow[3].width - cellsRow[2].width, 8)
            compare(cellsRow[0].height, 64)
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

        function test_cells_hold_user_perceived_characters() {
            view.code = "1\u{1F44D}\u{1F3FD}e\u0301"
            compare(cells().length, 3)
            compare(view.Accessible.name, "Verification code 1 \u{1F44D}\u{1F3FD} e\u0301")
        }
    }
}
