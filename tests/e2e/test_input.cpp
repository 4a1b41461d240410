// quillory-test-input: the user's hands for end-to-end scenarios, through XTEST on $DISPLAY.
//
//   quillory-test-input move X Y | click X Y | key <chord> | raise <window title or id>
//
// Prints {"event":"done"} once the server has taken the events, or an error and exits 1.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop-control/named_keys.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/input/xtest_input_sink.h"
#include "tools/pad/pad_options.h"

using namespace quillory;

namespace {

constexpr const char* usage =
    "Usage: quillory-test-input move X Y | click X Y | key <chord> | raise <window title or id>\n";

int failed(const std::string& message) {
    std::fprintf(stderr, "quillory-test-input: %s\n", message.c_str());
    return 1;
}

std::optional<double> coordinate(const std::string& text) {
    try {
        std::size_t end = 0;
        const double value = std::stod(text, &end);
        return end == text.size() ? std::optional(value) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void pointer(InputEventSink& sink, InputEventType type, Point at) {
    InputEvent event;
    event.type = type;
    event.location = at;
    event.buttonDown = type == InputEventType::leftMouseDown;
    sink.post(event);
}

// Keys go down in the chord's order and up in reverse, like fingers on a keyboard.
void typeChord(InputEventSink& sink, const std::vector<DesktopKey>& keys) {
    InputEvent event;
    event.type = InputEventType::keyDown;
    for (const DesktopKey key : keys) {
        event.keyCode = namedKey(key).evdevCode;
        event.keyIsDown = true;
        sink.post(event);
    }
    event.type = InputEventType::keyUp;
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        event.keyCode = namedKey(*key).evdevCode;
        event.keyIsDown = false;
        sink.post(event);
    }
}

int raise(const std::string& window) {
    auto connected = X11Desktop::connect(nullptr);
    if (!connected) {
        return failed(connected.error());
    }
    const auto& desktop = connected.value();
    const auto windows = desktop->shareableWindows();
    for (const auto& candidate : windows.value_or(std::vector<ShareableWindow>{})) {
        if (candidate.title == window || std::to_string(candidate.info.id) == window) {
            return desktop->raise(candidate.info.id) ? 0 : failed("the window went away");
        }
    }
    return failed("no window “" + window + "”");
}

int run(const std::vector<std::string>& arguments) {
    if (arguments.size() == 2 && arguments[0] == "raise") {
        return raise(arguments[1]);
    }
    auto connected = XTestInputSink::connect(nullptr);
    if (!connected) {
        return failed(connected.error());
    }
    auto sink = std::move(connected).value();
    if (arguments.size() == 2 && arguments[0] == "key") {
        auto keys = pad::parseChord(arguments[1]);
        if (auto* refusal = std::get_if<pad::UsageError>(&keys)) {
            return failed(refusal->message);
        }
        typeChord(*sink, std::get<std::vector<DesktopKey>>(keys));
        return 0;
    }
    const auto x = arguments.size() == 3 ? coordinate(arguments[1]) : std::nullopt;
    const auto y = arguments.size() == 3 ? coordinate(arguments[2]) : std::nullopt;
    if (!x || !y || (arguments[0] != "move" && arguments[0] != "click")) {
        std::fputs(usage, stderr);
        return 2;
    }
    pointer(*sink, InputEventType::mouseMoved, {*x, *y});
    if (arguments[0] == "click") {
        pointer(*sink, InputEventType::leftMouseDown, {*x, *y});
        pointer(*sink, InputEventType::leftMouseUp, {*x, *y});
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int status = run(std::vector<std::string>(argv + 1, argv + argc));
    if (status == 0) {
        std::puts(R"({"event":"done"})");
    }
    return status;
}
