#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>

namespace quillory {

// Whether a "stop" is out: settled once its line has been written or the channel has closed.
// The main thread waits for it; the line count belongs to the transport queue.
class StopSettlement {
  public:
    // The "stop" is queued with this many lines ahead of it, itself included.
    void expectLines(std::size_t lines) { linesUntilStop_ = lines; }
    void lineWritten();
    void settle();
    // False when the time ran out first.
    bool waitFor(double seconds);

  private:
    std::mutex mutex_;
    std::condition_variable condition_;
    bool settled_ = false;
    std::optional<std::size_t> linesUntilStop_;
};

}  // namespace quillory
