pragma Singleton
import QtQml

// The fixed texts of the pairing step.
QtObject {
    readonly property string confirmInstruction:
        qsTr("Make sure both devices show this code. Select Confirm on each device.")
    readonly property string confirm: qsTr("Confirm")
    readonly property string confirmed: qsTr("Confirmed")
    readonly property string cancel: qsTr("Cancel")
    readonly property string connecting: qsTr("Connecting\u2026")
}
