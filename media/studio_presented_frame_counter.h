#pragma once

#include <cstdint>
#include <set>

namespace quillory {

// Counts distinct shown frames by serial, remembering only the last 128 serials so that a
// repeated report of a recent frame is not counted twice and memory stays bounded.
class StudioPresentedFrameCounter {
  public:
    static constexpr std::uint64_t window = 128;

    // True when the serial counts as a newly presented frame.
    bool insert(std::uint64_t serial);

    std::uint64_t newestSerial() const { return newestSerial_; }
    const std::set<std::uint64_t>& seen() const { return seen_; }

  private:
    std::uint64_t newestSerial_ = 0;
    std::set<std::uint64_t> seen_;
};

}  // namespace quillory
