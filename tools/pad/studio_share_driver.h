#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/pen_sample.h"
#include "protocol/studio_signal.h"
#include "tools/pad/event_output.h"
#include "tools/pad/pad_options.h"

namespace quillory::pad {

// What a Studio share uses of the run's link. Main queue only.
struct StudioShareLink {
    std::function<void(const StudioSignal&)> send;
    // Stamps the samples and sends them one at a time at a stylus's rate.
    std::function<void(std::vector<PenSample>)> draw;
    std::function<std::optional<std::string>()> localAddress;
    // The share is over: the run ends the link and exits with this status and message.
    std::function<void(int status, std::string message)> finished;
};

// `studio share` over a ready link: signalling, the receiver and the typed commands. The video
// side links GStreamer, so the run gets it from a maker and the link code stays free of it.
// Main queue only.
class StudioShareDriver {
  public:
    virtual ~StudioShareDriver() = default;
    virtual void start() = 0;
    virtual void studioArrived(const StudioSignal& signal) = 0;
    virtual void input(const std::string& line) = 0;
    virtual void endOfInput() = 0;
    // Ctrl-C: stop the stream and finish.
    virtual void interrupt() = 0;
    // The link is gone: release the stream without signalling.
    virtual void linkEnded() = 0;
};

using StudioShareMaker = std::function<std::shared_ptr<StudioShareDriver>(
    const PadOptions& options, std::shared_ptr<EventOutput> output, StudioShareLink link)>;

}  // namespace quillory::pad
