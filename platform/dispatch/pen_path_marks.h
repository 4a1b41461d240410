#pragma once

#include <atomic>
#include <cstdint>

namespace quillory {

// Points a pen sample passes between the socket and the input queue. A benchmark installs a
// recorder to time each hop; without one, a mark costs a relaxed load and a branch.
enum class PenPathMark : std::uint8_t {
    readable,   // the transport queue woke for a readable socket
    lineRead,   // the read's lines were framed
    opened,     // a sealed record was decrypted
    decoded,    // its payload was decoded
    workerRan,  // a pen batch started to run on the input queue
};

using PenPathRecorder = void (*)(PenPathMark);
inline std::atomic<PenPathRecorder> penPathRecorder{nullptr};

inline void markPenPath(PenPathMark mark) {
    if (const auto record = penPathRecorder.load(std::memory_order_relaxed)) {
        record(mark);
    }
}

}  // namespace quillory
