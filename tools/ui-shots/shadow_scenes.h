#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QQmlComponent;

namespace quillory {

class ShotWriter;

// The windows that cast a shadow, as the program builds them, over a plain desktop of
// `shadowBackdrop`: two card windows, the permission guide, the shortcut recorder and the status
// panel.
const QStringList& shadowScenes();
inline const QColor shadowBackdrop{0x7d, 0x85, 0x90};

// Renders one of shadowScenes() to `base`.png; `content` is the status panel's content.
bool renderShadowScene(ShotWriter& writer, const QString& scene, const QString& base,
                       QQmlComponent* content);

}  // namespace quillory
