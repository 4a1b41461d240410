#include "platform/accessibility/accessibility_status.h"

#include <gio/gio.h>

namespace quillory::AccessibilityStatus {

namespace {

constexpr int timeoutMilliseconds = 1000;

GDBusConnection* sessionBus() {
    return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
}

}  // namespace

std::optional<bool> isEnabled() {
    GDBusConnection* bus = sessionBus();
    if (bus == nullptr) {
        return std::nullopt;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, timeoutMilliseconds, nullptr, nullptr);
    g_object_unref(bus);
    if (reply == nullptr) {
        return std::nullopt;
    }
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    std::optional<bool> enabled;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
        enabled = g_variant_get_boolean(value) != FALSE;
    }
    g_variant_unref(value);
    g_variant_unref(reply);
    return enabled;
}

bool setEnabled(bool enabled) {
    GDBusConnection* bus = sessionBus();
    if (bus == nullptr) {
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
        g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(enabled)),
        nullptr, G_DBUS_CALL_FLAGS_NONE, timeoutMilliseconds, nullptr, nullptr);
    g_object_unref(bus);
    if (reply == nullptr) {
        return false;
    }
    g_variant_unref(reply);
    return isEnabled() == enabled;
}

}  // namespace quillory::AccessibilityStatus
