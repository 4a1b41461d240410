#pragma once

#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "media/studio_operating_point_policy.h"

namespace quillory {

class PolicyReplayError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Replays scripted adaptation events against the operating-point policy, as the Studio peer
// would drive it. Input is one JSON record per line:
//
//   {"event": "configure", "now": 0, "preset": "balanced", "width": 1920, "height": 1080}
//   {"event": "applied", "now": 0.1}                      (the current target, or "point")
//   {"event": "observe", "now": 1, "feedback": {...}, "interval": {...}}
//   {"event": "deadline", "now": 5}
//   {"event": "reset"}
//   {"event": "resume", "now": 9}
//
// For each record it writes one JSON line with the target after the event, whether it changed,
// the armed deadline and the assessment the event recorded, if any.
class PolicyReplay {
  public:
    // Handles one input line: returns the output line, nothing for a blank line, and throws
    // PolicyReplayError for a record it cannot use.
    std::optional<std::string> step(std::string_view line);

    // Replays a whole script. Stops at the first bad line with "line N: message" on `errors`
    // and returns false.
    bool run(std::istream& input, std::ostream& output, std::ostream& errors);

  private:
    std::optional<StudioOperatingPointPolicy> policy_;
};

}  // namespace quillory
