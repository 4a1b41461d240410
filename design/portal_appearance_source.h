#pragma once

#include <QDBusConnection>
#include <QDBusVariant>

#include "design/appearance_source.h"

namespace quillory {

// The desktop's settings through the XDG desktop portal (org.freedesktop.portal.Settings): the
// colour scheme, high contrast, whether animations are on and the text scale. Reads asynchronously,
// so a missing or slow portal never blocks the caller; until an answer arrives every value is
// unknown.
class PortalAppearanceSource final : public AppearanceSource {
    Q_OBJECT

  public:
    explicit PortalAppearanceSource(QDBusConnection bus = QDBusConnection::sessionBus(),
                                    QObject* parent = nullptr);

    AppearanceSettings settings() const override { return settings_; }

    // Takes one portal setting into account; returns whether it is one this source follows.
    bool apply(const QString& group, const QString& key, const QVariant& value);

  private slots:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

  private:
    void read(const QString& group, const QString& key);

    QDBusConnection bus_;
    AppearanceSettings settings_;
    // Either desktop key may ask for high contrast.
    std::optional<bool> portalHighContrast_;
    std::optional<bool> gnomeHighContrast_;
};

}  // namespace quillory
