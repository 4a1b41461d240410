import QtQuick

// Groups controls whose surfaces would blend on a desktop with glass; here it adds nothing
// around its content and takes the size of its one child.
Item {
    default property alias content: holder.data

    implicitWidth: holder.children.length > 0 ? holder.children[0].implicitWidth : 0
    implicitHeight: holder.children.length > 0 ? holder.children[0].implicitHeight : 0

    Item {
        id: holder

        anchors.fill: parent
    }
}
