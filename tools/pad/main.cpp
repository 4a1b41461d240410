#include <cstdio>
#include <memory>

#include "tools/pad/console_loop.h"
#include "tools/pad/pad_session.h"
#include "tools/pad/studio_share.h"

using namespace quillory;
using namespace quillory::pad;

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::fputs(padUsage, stdout);
        return 0;
    }
    auto parsed = parsePadOptions(arguments);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        std::fprintf(stderr, "quillory-pad: %s\n\n%s", error->message.c_str(), padUsage);
        return 2;
    }
    auto options = std::get<PadOptions>(std::move(parsed));

    // Signals are routed to the console loop before any thread starts.
    ConsoleLoop console;
    auto output = std::make_shared<EventOutput>(options.json);
    auto session = std::make_shared<PadSession>(
        std::move(options), std::move(output), [&console](int status) { console.finish(status); },
        StudioShare::make);
    std::weak_ptr<PadSession> weak = session;
    return console.runProgram(
        std::move(session),
        [weak] {
            if (auto self = weak.lock()) {
                self->begin();
            }
        },
        ConsoleLoop::Handlers{
            [weak](std::string line) {
                if (auto self = weak.lock()) {
                    self->input(line);
                }
            },
            [weak] {
                if (auto self = weak.lock()) {
                    self->endOfInput();
                }
            },
            [weak] {
                if (auto self = weak.lock()) {
                    self->interrupt();
                }
            },
        });
}
