#include "platform/input/input_backend.h"

#include <unistd.h>

#include <mutex>

#include "platform/input/non_repeating_key_sink.h"
#include "platform/input/uinput_input_sink.h"
#include "platform/input/xtest_input_sink.h"
#include "platform/log/logger.h"

namespace quillory {

namespace {

std::mutex statusMutex;
InputBackendStatus lastStatus{InputBackendKind::none, "no input backend was opened"};

}  // namespace

const char* displayName(InputBackendKind kind) {
    switch (kind) {
        case InputBackendKind::uinput:
            return "uinput";
        case InputBackendKind::xtest:
            return "XTest";
        case InputBackendKind::none:
            break;
    }
    return "none";
}

InputBackend openInputBackend(Rect rootArea, const char* display) {
    InputBackend backend;
    std::string uinputError;
    if (::access(UinputInputSink::path, W_OK) != 0) {
        uinputError = "/dev/uinput is not writable";
    } else if (auto sink = UinputInputSink::create(rootArea)) {
        backend.sink = std::move(sink).value();
        backend.status = {InputBackendKind::uinput, "virtual pen tablet and keyboard on uinput"};
    } else {
        uinputError = sink.error();
    }
    if (!backend.sink) {
        if (auto sink = XTestInputSink::connect(display)) {
            backend.sink = std::move(sink).value();
            backend.status = {InputBackendKind::xtest,
                              uinputError +
                                  "; pointer and keys through XTest, without pressure "
                                  "or tilt"};
        } else {
            backend.sink = std::make_shared<DiscardingInputSink>();
            backend.status = {InputBackendKind::none, uinputError + "; " + sink.error()};
        }
    }
    const Logger logger("app.quillory.connection", "input");
    if (backend.status.kind != InputBackendKind::none) {
        // Both backends' keys reach the X server, which would repeat them while held.
        if (auto control = KeyRepeatControl::connect(display, KeyRepeatControl::defaultRecord())) {
            backend.sink = std::make_shared<NonRepeatingKeySink>(std::move(backend.sink),
                                                                 std::move(control).value());
        } else {
            logger.error("Held keys may repeat: %s", control.error().c_str());
        }
    }
    logger.info("Input backend %s: %s", displayName(backend.status.kind),
                backend.status.reason.c_str());
    std::lock_guard lock(statusMutex);
    lastStatus = backend.status;
    return backend;
}

InputBackendStatus currentInputBackend() {
    std::lock_guard lock(statusMutex);
    return lastStatus;
}

}  // namespace quillory
