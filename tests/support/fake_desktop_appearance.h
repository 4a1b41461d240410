#pragma once

#include <QObject>
#include <QVariantMap>
#include <memory>

class QQmlEngine;

namespace quillory {

class FakeAppearanceSource;

// Lets QML tests play the desktop: `desktop.set({dark: true, reduceMotion: true})`; keys left
// out are off, and the text scale is 1.
class DesktopSettings : public QObject {
    Q_OBJECT

  public:
    explicit DesktopSettings(FakeAppearanceSource* source) : source_(source) {}

    Q_INVOKABLE void set(const QVariantMap& settings);

  private:
    FakeAppearanceSource* source_;
};

// Installs a fake appearance source as the only one and publishes `desktop` and
// `shotsDirectory` (QUILLORY_SHOTS_DIR, else the temporary folder) to `engine`'s root context.
// The returned object must outlive the engine's use of it.
std::unique_ptr<DesktopSettings> installFakeDesktopAppearance(QQmlEngine* engine);

}  // namespace quillory
