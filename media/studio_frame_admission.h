#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

namespace quillory {

// The gate between the capture thread and the transport: the peer opens it on connected and
// closes it on a disconnect and at close. It also keeps frame time moving forward, since a
// refreshed frame stamped with the host time can overtake a captured one that is still on its way.
class StudioFrameAdmission {
  public:
    void open();
    void close();
    // True when the gate is open and the timestamp is later than the last one admitted; the
    // timestamp then becomes the last one.
    bool admit(std::int64_t timestampNanoseconds);

  private:
    std::mutex lock_;
    bool open_ = false;
    std::optional<std::int64_t> last_;
};

}  // namespace quillory
