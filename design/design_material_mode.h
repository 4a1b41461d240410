#pragma once

#include <QString>
#include <optional>

namespace quillory {

// How control surfaces are drawn below a point of the item tree. This desktop has no glass, so
// automatic draws the opaque surface; fallback keeps the translucent one.
enum class DesignMaterialMode { automatic, fallback, opaque };

QString rawValue(DesignMaterialMode mode);
// Exact, case-sensitive match of a raw value.
std::optional<DesignMaterialMode> designMaterialModeFromRawValue(const QString& raw);

}  // namespace quillory
