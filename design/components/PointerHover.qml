import QtQuick
import QuilloryDesign

// Tracks the pointer over its parent: `hovering` is true while the pointer is inside and the
// element is enabled and visible, and the pointing hand shows while that holds. The hand belongs
// to the hovered item, not to an application-wide stack, so nothing is left to give back when a
// popup or another window covers it, its window is deactivated or a press drags out of it.
HoverHandler {
    id: handler

    // The element's own enabled flag; a disabled element is never hovered.
    property bool active: parent ? parent.enabled : true
    // Cleared by disabling; only the pointer entering again sets it, so that an element enabled
    // under a resting pointer shows neither hover nor hand until then.
    property bool armed: true
    readonly property bool hovering: hovered && active && armed && !!parent && parent.visible

    function giveBack() {
        if (parent && parent.Window.window)
            PointerCursor.refresh(parent.Window.window, point.scenePosition)
    }

    cursorShape: hovering ? Qt.PointingHandCursor : undefined

    onHoveredChanged: if (hovered) armed = true
    onActiveChanged: if (!active) armed = false
    // The pointer rests inside, so no event would tell the window to drop the hand.
    onHoveringChanged: if (!hovering && hovered) giveBack()
    Component.onDestruction: if (hovering) giveBack()
}
