#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>
#include <memory>

#include "design/appearance_source.h"
#include "design/design_colors.h"

class QQmlEngine;
class QJSEngine;

namespace quillory {

class UserDefaults;

// The appearance every design view follows. Each value comes from the first source that has
// it: the application's own override in the user defaults, then the desktop (the portal), then
// light, normal contrast, motion on, text scale 1.
class Appearance final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark NOTIFY changed)
    Q_PROPERTY(bool highContrast READ highContrast NOTIFY changed)
    Q_PROPERTY(bool reduceMotion READ reduceMotion NOTIFY changed)
    Q_PROPERTY(bool reduceTransparency READ reduceTransparency NOTIFY changed)
    Q_PROPERTY(double textScale READ textScale NOTIFY changed)

  public:
    // User-default keys of the override.
    static constexpr const char* darkKey = "appearance.dark";
    static constexpr const char* highContrastKey = "appearance.highContrast";
    static constexpr const char* reduceMotionKey = "appearance.reduceMotion";
    static constexpr const char* reduceTransparencyKey = "appearance.reduceTransparency";
    static constexpr const char* textScaleKey = "appearance.textScale";

    // The process-wide instance, created on first use with no sources (all defaults).
    static Appearance* shared();
    static Appearance* create(QQmlEngine*, QJSEngine*);

    // Replaces both sources; either may be null.
    void setSources(std::shared_ptr<UserDefaults> defaults,
                    std::unique_ptr<AppearanceSource> source);

    // Writes the application's override (absent values are removed) and applies it.
    void setOverride(const AppearanceSettings& settings);
    AppearanceSettings overrideSettings() const { return override_; }

    bool dark() const { return current_.dark.value_or(false); }
    bool highContrast() const { return current_.highContrast.value_or(false); }
    bool reduceMotion() const { return current_.reduceMotion.value_or(false); }
    bool reduceTransparency() const { return current_.reduceTransparency.value_or(false); }
    double textScale() const { return current_.textScale.value_or(1.0); }
    DesignAppearance designAppearance() const { return {dark(), highContrast()}; }

  signals:
    void changed();

  private:
    Appearance() = default;
    void readOverride();
    void update();

    std::shared_ptr<UserDefaults> defaults_;
    std::unique_ptr<AppearanceSource> source_;
    AppearanceSettings override_;
    AppearanceSettings current_;
};

}  // namespace quillory
