#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dispatch/timer.h"
#include "protocol/pen_sample.h"
#include "tools/pad/event_output.h"
#include "tools/pad/pad_options.h"

namespace quillory::pad {

// The run's pen: draws the command's strokes, one after another or for --duration, and the
// strokes a Studio share types, one sample a message at a stylus's rate. Samples are numbered
// across reconnects. Main queue only.
class StrokeScript : public std::enable_shared_from_this<StrokeScript> {
  public:
    struct Link {
        // False when there is no link to send on.
        std::function<bool(std::vector<PenSample>)> send;
        // The strokes are drawn or the time is up.
        std::function<void()> drawn;
    };

    StrokeScript(const PadOptions& options, std::shared_ptr<EventOutput> output, Link link);

    void drawNextStroke();
    // Neither drawing nor waiting for the time to run out.
    bool isIdle() const;
    void type(std::vector<PenSample> samples);
    // The stroke in progress is reported as incomplete.
    void linkEnded();

  private:
    // True once the strokes are drawn or, with --duration, the time is up; drawing nothing, it
    // schedules the end.
    bool drawingTimeIsUp();
    void drawTick();
    void reportStroke(bool complete);
    void sendTypedSample();
    // Numbers and stamps the sample, and sends it alone.
    bool send(PenSample& sample);

    const PadOptions options_;
    const std::shared_ptr<EventOutput> output_;
    const Link link_;
    unsigned strokesDone_ = 0;
    std::uint64_t sequence_ = 0;
    std::vector<PenSample> stroke_;
    std::vector<PenSample> sent_;
    std::uint64_t strokeStartedAt_ = 0;
    std::optional<std::uint64_t> drawingStartedAt_;
    Timer durationTimer_;
    Timer tick_;
    std::deque<PenSample> typed_;
    Timer typedTimer_;
};

}  // namespace quillory::pad
