#pragma once

#include <QString>
#include <optional>

namespace quillory {

// This computer's name as the tablet and the views show it: the pretty host name of
// org.freedesktop.hostname1 (asked with a 500 ms limit), else the host name; cleaned of control
// and format characters and cut to 128 bytes. Empty when there is none; callers fall back to
// "Mac". Blocks for at most the D-Bus limit: call it off the main thread (ComputerNameCache).
QString computerName();

// The cleaned host name alone: what computerName() answers without hostname1. Never blocks.
QString hostComputerName();

// The choice behind computerName(), from what the two sources answered.
QString chooseComputerName(const std::optional<QString>& prettyHostname,
                           const std::optional<QString>& hostName);

}  // namespace quillory
