#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/dispatch/timer.h"
#include "protocol/studio_signal.h"
#include "tools/pad/event_output.h"
#include "tools/pad/pad_options.h"
#include "tools/pad/studio_listing.h"
#include "tools/pad/studio_share_driver.h"

namespace quillory::pad {

// `studio list` and `studio share` over a ready link: the computer's sources with their
// thumbnails, or a share, whose video side comes from a maker. Main queue only.
class StudioCommand : public std::enable_shared_from_this<StudioCommand> {
  public:
    // How long the computer may take to list its sources, and to send the next thumbnail.
    static constexpr double listTimeout = 10.0;
    static constexpr double thumbnailTimeout = 3.0;

    StudioCommand(const PadOptions& options, std::shared_ptr<EventOutput> output,
                  StudioShareMaker makeShare);

    // The link is ready: starts a share, or asks for the list once per run.
    void start(StudioShareLink link);
    void studioArrived(const StudioSignal& signal);
    // The run is ending: the list waits no longer.
    void stop() { timer_.cancel(); }
    void linkEnded();
    // The running share, which takes the typed lines; none while listing.
    const std::shared_ptr<StudioShareDriver>& share() const { return share_; }

  private:
    void listSources();
    void listed();
    // False when the thumbnail could not be saved (the link is then ending).
    bool thumbnailArrived(const StudioSignal& signal);
    void waitFor(double seconds);
    void listingTimedOut();
    void finishListing();

    const PadOptions options_;
    const std::shared_ptr<EventOutput> output_;
    const StudioShareMaker makeShare_;
    StudioShareLink link_;
    std::shared_ptr<StudioShareDriver> share_;
    std::optional<StudioListing> listing_;
    std::uint64_t listSentAt_ = 0;
    Timer timer_;
};

}  // namespace quillory::pad
