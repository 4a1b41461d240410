#include "design/design_material_mode.h"

#include <array>
#include <utility>

namespace quillory {

namespace {

constexpr std::array<std::pair<DesignMaterialMode, const char*>, 3> names = {{
    {DesignMaterialMode::automatic, "automatic"},
    {DesignMaterialMode::fallback, "fallback"},
    {DesignMaterialMode::opaque, "opaque"},
}};

}  // namespace

QString rawValue(DesignMaterialMode mode) {
    for (const auto& [value, name] : names) {
        if (value == mode) {
            return QString::fromLatin1(name);
        }
    }
    return {};
}

std::optional<DesignMaterialMode> designMaterialModeFromRawValue(const QString& raw) {
    for (const auto& [value, name] : names) {
        if (raw == QLatin1String(name)) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace quillory
