#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/input/input_event_sink.h"

namespace quillory {

// Keeps every event and what it leaves held; for tests and benchmarks. Safe from any thread.
class RecordingInputSink final : public InputEventSink {
  public:
    void post(const InputEvent& event) override;
    void setArea(Rect area) override;

    std::vector<InputEvent> events() const;
    std::size_t count() const;
    void clear();
    // Waits until at least `count` events were posted; false on timeout.
    bool waitForCount(std::size_t count, double timeoutSeconds) const;

    bool buttonDown() const;
    bool inProximity() const;
    std::set<std::uint16_t> keysDown() const;
    // No button, key or pen proximity left held.
    bool allUp() const;
    // Each area given, with the number of events posted before it.
    std::vector<std::pair<std::size_t, Rect>> areas() const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable posted_;
    std::vector<InputEvent> events_;
    bool buttonDown_ = false;
    bool inProximity_ = false;
    std::set<std::uint16_t> keysDown_;
    std::vector<std::pair<std::size_t, Rect>> areas_;
};

}  // namespace quillory
