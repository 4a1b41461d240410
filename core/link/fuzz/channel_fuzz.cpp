// Arbitrary lines against a host channel that is past its handshake and ready. A line whose
// first byte is 0x01 is sealed with the tablet's key first (with the right counter when it is a
// JSON object), so payload handling is reached too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/link/testing/ready_host.h"

using namespace quillory;
using namespace quillory::testing;

namespace {

// The harness itself went wrong, or the host hung: say why before stopping.
[[noreturn]] void stopWith(const std::string& reason) {
    std::fprintf(stderr, "channel fuzz harness stopped: %s\n", reason.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

// Answers whether the host is still up: a ping must come back as a pong with its probe.
bool stillUp(ScriptedPad& pad) {
    SessionPayload ping;
    ping.kind = SessionPayload::Kind::ping;
    ping.probe = Uuid::random();
    if (!pad.sendPayload(ping)) {
        return false;
    }
    for (;;) {
        const auto line = pad.raw.readLine();
        if (!line) {
            return false;
        }
        const auto packet = packetOf(*line);
        const auto plaintext = packet ? pad.opener.open(packet->data) : std::nullopt;
        if (!plaintext) {
            return false;
        }
        const auto payload = SessionPayload::decode(
            std::string_view(reinterpret_cast<const char*>(plaintext->data()), plaintext->size()));
        if (payload && payload->kind == SessionPayload::Kind::pong &&
            payload->probe == ping.probe) {
            return true;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ReadyHost host;
    if (!host.channel) {
        if (const auto failure = host.open()) {
            stopWith(*failure);
        }
    }
    std::string out;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        auto end = input.find('\n', start);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        const auto line = input.substr(start, end - start);
        if (!line.empty() && line[0] == '\x01') {
            // An object gets the right counter, so it is judged on its content.
            auto json = parseJSON(line.substr(1));
            if (json && json->is_object()) {
                (*json)["counter"] = host.pad->sealer.next();
                out += host.pad->sealedLine(dumpJSON(*json));
            } else {
                out += host.pad->sealedLine(line.substr(1));
            }
        } else {
            out += line;
            out += '\n';
        }
        start = end + 1;
    }
    if (!host.pad->raw.write(out) || !stillUp(*host.pad)) {
        // Closing on bad input is the host's right; going silent or garbling its answer is not.
        if (!host.pad->raw.closed() && !host.channel->closedCause()) {
            stopWith("the host neither answered a ping nor closed; tablet: " +
                     host.pad->raw.failure());
        }
        if (!host.shutdown()) {
            stopWith("a closed host channel was not released in " +
                     std::to_string(ReadyHost::patience.count()) + " s");
        }
    }
    host.main->runUntilIdle();
    return 0;
}
