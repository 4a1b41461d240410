#pragma once

#include <QObject>
#include <optional>

namespace quillory {

// One reading of the desktop's appearance settings; an absent value is one the source does not
// know, so the next source decides.
struct AppearanceSettings {
    std::optional<bool> dark;
    std::optional<bool> highContrast;
    std::optional<bool> reduceMotion;
    std::optional<bool> reduceTransparency;
    std::optional<double> textScale;

    friend bool operator==(const AppearanceSettings&, const AppearanceSettings&) = default;
};

// Where the desktop's appearance comes from. Emits changed() whenever settings() may differ.
class AppearanceSource : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;
    virtual AppearanceSettings settings() const = 0;

  signals:
    void changed();
};

// A source whose settings tests set directly.
class FakeAppearanceSource final : public AppearanceSource {
    Q_OBJECT

  public:
    using AppearanceSource::AppearanceSource;

    AppearanceSettings settings() const override { return settings_; }
    void setSettings(const AppearanceSettings& settings) {
        if (settings == settings_) {
            return;
        }
        settings_ = settings;
        emit changed();
    }

  private:
    AppearanceSettings settings_;
};

}  // namespace quillory
