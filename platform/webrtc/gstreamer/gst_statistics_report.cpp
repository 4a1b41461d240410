#include "platform/webrtc/gstreamer/gst_statistics_report.h"

#include <cctype>
#include <optional>

namespace quillory {

namespace {

std::optional<StudioStatisticValue> plainValue(const GValue* value) {
    switch (G_VALUE_TYPE(value)) {
        case G_TYPE_INT:
            return static_cast<double>(g_value_get_int(value));
        case G_TYPE_UINT:
            return static_cast<double>(g_value_get_uint(value));
        case G_TYPE_INT64:
            return static_cast<double>(g_value_get_int64(value));
        case G_TYPE_UINT64:
            return static_cast<double>(g_value_get_uint64(value));
        case G_TYPE_LONG:
            return static_cast<double>(g_value_get_long(value));
        case G_TYPE_ULONG:
            return static_cast<double>(g_value_get_ulong(value));
        case G_TYPE_DOUBLE:
            return g_value_get_double(value);
        case G_TYPE_FLOAT:
            return static_cast<double>(g_value_get_float(value));
        case G_TYPE_BOOLEAN:
            return g_value_get_boolean(value) != FALSE;
        case G_TYPE_STRING:
            if (const char* text = g_value_get_string(value)) {
                return std::string(text);
            }
            return std::nullopt;
        default:
            break;
    }
    if (G_VALUE_HOLDS_ENUM(value)) {
        GEnumClass* type = static_cast<GEnumClass*>(g_type_class_ref(G_VALUE_TYPE(value)));
        const GEnumValue* entry = g_enum_get_value(type, g_value_get_enum(value));
        std::optional<StudioStatisticValue> nick;
        if (entry != nullptr) {
            nick = std::string(entry->value_nick);
        }
        g_type_class_unref(type);
        return nick;
    }
    return std::nullopt;
}

StudioStatistics entryFrom(const GstStructure* structure) {
    StudioStatistics entry;
    const gint fields = gst_structure_n_fields(structure);
    for (gint index = 0; index < fields; ++index) {
        const char* name = gst_structure_nth_field_name(structure, static_cast<guint>(index));
        const GValue* value = gst_structure_get_value(structure, name);
        std::optional<StudioStatisticValue> plain = plainValue(value);
        if (!plain) {
            continue;
        }
        const std::string_view field = name;
        if (field == "id") {
            if (const auto* text = std::get_if<std::string>(&*plain)) {
                entry.id = *text;
            }
        } else if (field == "type") {
            if (const auto* text = std::get_if<std::string>(&*plain)) {
                entry.type = *text;
            }
        } else if (field == "timestamp") {
            if (const auto* milliseconds = std::get_if<double>(&*plain)) {
                entry.timestampMicroseconds = *milliseconds * 1000.0;
            }
        } else {
            entry.values[camelCaseName(field)] = std::move(*plain);
        }
    }
    return entry;
}

}  // namespace

std::string camelCaseName(std::string_view hyphenated) {
    std::string name;
    name.reserve(hyphenated.size());
    bool upper = false;
    for (char c : hyphenated) {
        if (c == '-' || c == '_') {
            upper = !name.empty();
            continue;
        }
        name.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c);
        upper = false;
    }
    return name;
}

StudioStatisticsReport statisticsReportFromGst(const GstStructure* reply) {
    StudioStatisticsReport report;
    if (reply == nullptr) {
        return report;
    }
    const gint fields = gst_structure_n_fields(reply);
    for (gint index = 0; index < fields; ++index) {
        const char* name = gst_structure_nth_field_name(reply, static_cast<guint>(index));
        const GValue* value = gst_structure_get_value(reply, name);
        if (!GST_VALUE_HOLDS_STRUCTURE(value)) {
            continue;
        }
        StudioStatistics entry = entryFrom(gst_value_get_structure(value));
        if (entry.id.empty()) {
            entry.id = name;
        }
        report.statistics.push_back(std::move(entry));
    }
    return report;
}

}  // namespace quillory
