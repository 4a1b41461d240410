#pragma once

#include <memory>
#include <string>

#include "platform/input/input_event_sink.h"

namespace quillory {

enum class InputBackendKind { uinput, xtest, none };

const char* displayName(InputBackendKind kind);

struct InputBackendStatus {
    InputBackendKind kind = InputBackendKind::none;
    std::string reason;
};

struct InputBackend {
    std::shared_ptr<InputEventSink> sink;
    InputBackendStatus status;
};

// The uinput devices when /dev/uinput can be written, else XTest on `display` (nullptr:
// $DISPLAY), else a sink that drops everything. Logs the choice and its reason and records it
// for currentInputBackend().
InputBackend openInputBackend(Rect rootArea, const char* display = nullptr);

// The backend last opened, for the permission views.
InputBackendStatus currentInputBackend();

}  // namespace quillory
