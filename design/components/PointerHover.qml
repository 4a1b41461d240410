import QtQuick
import QuilloryDesign

// Tracks the pointer over its parent: `hovering` is true while the pointer is inside and the
// element is enabled, and the pointing hand is pushed once while that holds. It is popped when the
// pointer leaves, the element is disabled, hidden or destroyed, or its window is hidden.
HoverHandler {
    id: handler

    // The element's own enabled flag; a disabled element is never hovered.
    property bool active: parent ? parent.enabled : true
    readonly property bool hovering: hovered && active
    readonly property CursorClaim claim: CursorClaim {}

    onHoveredChanged: {
        if (hovered)
            claim.want(active)
        else
            claim.release()
    }
    // Enabling again waits for the next hover event; disabling gives the cursor back at once.
    onActiveChanged: if (!active) claim.release()

    Component.onDestruction: claim.release()

    property Connections visibility: Connections {
        target: handler.parent
        ignoreUnknownSignals: true
        function onVisibleChanged() {
            if (!handler.parent.visible)
                handler.claim.release()
        }
    }

    property Connections windowVisibility: Connections {
        target: handler.parent ? handler.parent.Window.window : null
        ignoreUnknownSignals: true
        function onVisibleChanged() {
            if (!handler.parent.Window.window.visible)
                handler.claim.release()
        }
    }
}
