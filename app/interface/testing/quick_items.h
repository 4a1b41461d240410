#pragma once

#include <QQuickItem>
#include <QString>

namespace quillory {

// The first item named `name` at or below `item` in the visual tree (items under a Loader or a
// ScrollView are not QObject children, so findChild misses them).
inline QQuickItem* findQuickItem(QQuickItem* item, const QString& name) {
    if (item->objectName() == name) {
        return item;
    }
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = findQuickItem(child, name)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace quillory
