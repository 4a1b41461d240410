#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/link/companion_browser.h"
#include "platform/dispatch/timer.h"
#include "platform/result/result.h"

namespace quillory::pad {

// One look for Quillory computers on the network. It ends once the network has answered and no
// new host appeared for a moment, or at the time limit, whichever comes first; the browser goes
// with it. Main queue only.
class HostSearch : public std::enable_shared_from_this<HostSearch> {
  public:
    static constexpr double settleTime = 0.5;

    // `found` runs once, with the hosts seen, unless the search is dropped first.
    Result<void, std::string> start(double wait,
                                    std::function<void(const std::vector<CompanionHost>&)> found);

  private:
    void finish();
    void settleSoon();

    std::shared_ptr<CompanionBrowser> browser_;
    std::function<void(const std::vector<CompanionHost>&)> found_;
    Timer timer_;
    Timer settleTimer_;
};

}  // namespace quillory::pad
