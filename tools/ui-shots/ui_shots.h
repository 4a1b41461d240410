#pragma once

#include <QString>
#include <QStringList>

namespace quillory {

// The scenes quillory-ui-shots knows, in the order it renders them.
QStringList uiShotScenes();

// Renders `scenes` (all when empty) with a FakeSession in light, dark and increased contrast to
// `directory`/<scene>-<appearance>.png. Returns the number of images written, or -1 after
// saying why (an unknown scene, an unwritable folder, a scene that cannot be built).
int writeUiShots(const QString& directory, const QStringList& scenes);

}  // namespace quillory
