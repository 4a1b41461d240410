#include "design/appearance.h"

#include <QJSEngine>

#include "platform/defaults/user_defaults.h"

namespace quillory {

namespace {

template <typename T>
std::optional<T> firstOf(const std::optional<T>& preferred, const std::optional<T>& fallback) {
    return preferred ? preferred : fallback;
}

std::optional<bool> storedBool(const UserDefaults& defaults, const char* key) {
    const auto value = defaults.value(key);
    if (value && value->is_boolean()) {
        return value->get<bool>();
    }
    return std::nullopt;
}

// A scale outside this range is a damaged entry, not a wish.
std::optional<double> storedScale(const UserDefaults& defaults, const char* key) {
    const auto value = defaults.value(key);
    if (value && value->is_number()) {
        const double scale = value->get<double>();
        if (scale >= 0.5 && scale <= 4.0) {
            return scale;
        }
    }
    return std::nullopt;
}

template <typename T>
void store(UserDefaults& defaults, const char* key, const std::optional<T>& value) {
    if (value) {
        defaults.set(key, *value);
    } else {
        defaults.remove(key);
    }
}

}  // namespace

Appearance* Appearance::shared() {
    // Lives for the process: QML engines and views hold it until the very end.
    static Appearance* const instance = new Appearance();
    return instance;
}

Appearance* Appearance::create(QQmlEngine*, QJSEngine*) {
    Appearance* instance = shared();
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

void Appearance::setSources(std::shared_ptr<UserDefaults> defaults,
                            std::unique_ptr<AppearanceSource> source) {
    defaults_ = std::move(defaults);
    source_ = std::move(source);
    if (source_) {
        connect(source_.get(), &AppearanceSource::changed, this, &Appearance::update);
    }
    readOverride();
    update();
}

void Appearance::setOverride(const AppearanceSettings& settings) {
    if (defaults_) {
        store(*defaults_, darkKey, settings.dark);
        store(*defaults_, highContrastKey, settings.highContrast);
        store(*defaults_, reduceMotionKey, settings.reduceMotion);
        store(*defaults_, reduceTransparencyKey, settings.reduceTransparency);
        store(*defaults_, textScaleKey, settings.textScale);
    }
    override_ = settings;
    update();
}

void Appearance::readOverride() {
    override_ = {};
    if (!defaults_) {
        return;
    }
    override_.dark = storedBool(*defaults_, darkKey);
    override_.highContrast = storedBool(*defaults_, highContrastKey);
    override_.reduceMotion = storedBool(*defaults_, reduceMotionKey);
    override_.reduceTransparency = storedBool(*defaults_, reduceTransparencyKey);
    override_.textScale = storedScale(*defaults_, textScaleKey);
}

void Appearance::update() {
    const AppearanceSettings desktop = source_ ? source_->settings() : AppearanceSettings{};
    AppearanceSettings next;
    next.dark = firstOf(override_.dark, desktop.dark);
    next.highContrast = firstOf(override_.highContrast, desktop.highContrast);
    next.reduceMotion = firstOf(override_.reduceMotion, desktop.reduceMotion);
    next.reduceTransparency = firstOf(override_.reduceTransparency, desktop.reduceTransparency);
    next.textScale = firstOf(override_.textScale, desktop.textScale);
    // Compare what views see, so an unknown value turning into its default stays silent.
    const bool visible = dark() != next.dark.value_or(false) ||
                         highContrast() != next.highContrast.value_or(false) ||
                         reduceMotion() != next.reduceMotion.value_or(false) ||
                         reduceTransparency() != next.reduceTransparency.value_or(false) ||
                         textScale() != next.textScale.value_or(1.0);
    current_ = next;
    if (visible) {
        emit changed();
    }
}

}  // namespace quillory
