import QtQuick
import QuilloryDesign
import QuilloryInterface

// The status panel's window: frameless, on top and out of the taskbar under the tray icon, its
// surface over a shadow; a normal window titled "Quillory" when there is no tray (`fallback`). Its controller places,
// shows and hides it.
Window {
    id: panel

    required property SessionFacade session
    required property QtObject controller
    required property PanelVisibility visibility
    property Component content: null
    property bool fallback: false

    // The surface's laid-out size, on every change.
    signal sizeReported(real width, real height)
    // The content asks to close the panel.
    signal closeRequested()

    objectName: "statusPanel"
    title: qsTr("Quillory")
    // Its controller sizes it: the surface plus a shadow margin, or the surface alone.
    width: 340
    height: 280
    flags: fallback ? Qt.Window
                    : (Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint)
    color: fallback ? Design.colors.background : "transparent"

    StatusPanelSurface {
        id: surface

        width: 340
        content: panel.content
        onImplicitHeightChanged: panel.sizeReported(width, implicitHeight)
        Component.onCompleted: panel.sizeReported(width, implicitHeight)
    }
}
