#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "app/desktop-control/desktop_input_worker.h"
#include "protocol/desktop_action.h"
#include "protocol/pen_sample.h"
#include "protocol/uuid.h"

namespace quillory {

// The four functions a channel calls on its transport queue with the tablet's input. They hand
// it straight to the worker, held weakly, under the connection's id; `ended` detaches the
// connection, then tells `onEnded` (which must be safe to call on that queue). Once the worker
// is gone they do nothing.
struct SessionInputReceivers {
    std::function<void(const std::vector<PenSample>&)> samples;
    std::function<void(const DesktopAction&)> action;
    std::function<void()> cancelled;
    std::function<void()> ended;

    static SessionInputReceivers make(std::weak_ptr<DesktopInputWorker> worker,
                                      const Uuid& connection,
                                      std::function<void(const Uuid&)> onEnded);
};

}  // namespace quillory
