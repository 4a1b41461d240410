#include "platform/webrtc/gstreamer/ice_gathering_wait.h"

#include <gst/webrtc/webrtc.h>

#include <utility>

#include "platform/dispatch/sequence_checker.h"
#include "platform/webrtc/gstreamer/glib_handoff.h"

namespace quillory {

namespace {

using WeakWait = std::weak_ptr<IceGatheringWait>;

}  // namespace

IceGatheringWait::IceGatheringWait(SerialQueue& queue) : queue_(queue) {}

void IceGatheringWait::watch(GstElement* webrtc, std::weak_ptr<IceGatheringWait> self) {
    webrtc_ = webrtc;
    self_ = std::move(self);
    handler_ = g_signal_connect_data(
        webrtc_, "notify::ice-gathering-state",
        G_CALLBACK(+[](GstElement*, GParamSpec*, gpointer data) {
            if (auto wait = fromGlib<WeakWait>(data).lock()) {
                wait->changed();
            }
        }),
        handedToGlib(new WeakWait(self_)),
        [](gpointer data, GClosure*) { deleteFromGlib<WeakWait>(data); },
        static_cast<GConnectFlags>(0));
}

bool IceGatheringWait::start(double timeoutSeconds, std::function<void()> finished) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        if (state_ == IceGatheringState::fresh) {
            state_ = IceGatheringState::gathering;
        }
        finished_ = std::move(finished);
        timeout_ = queue_.after(timeoutSeconds, [weak = self_] {
            if (auto wait = weak.lock()) {
                wait->finish();
            }
        });
    }
    changed();
    return true;
}

void IceGatheringWait::changed() {
    GstWebRTCICEGatheringState state = GST_WEBRTC_ICE_GATHERING_STATE_NEW;
    g_object_get(webrtc_, "ice-gathering-state", &state, nullptr);
    if (state == GST_WEBRTC_ICE_GATHERING_STATE_COMPLETE) {
        queue_.async([weak = self_] {
            if (auto wait = weak.lock()) {
                wait->finish();
            }
        });
    }
}

void IceGatheringWait::finish() {
    QUILLORY_CHECK_ON(queue_);
    std::function<void()> finished;
    {
        std::lock_guard lock(mutex_);
        if (!finished_) {
            return;
        }
        finished = std::move(*finished_);
        finished_.reset();
        timeout_.cancel();
    }
    finished();
}

IceGatheringState IceGatheringWait::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void IceGatheringWait::gathered() {
    std::lock_guard lock(mutex_);
    state_ = IceGatheringState::complete;
}

void IceGatheringWait::close() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        closed_ = true;
        finished_.reset();
        timeout_.cancel();
    }
    if (handler_ != 0) {
        g_signal_handler_disconnect(webrtc_, handler_);
    }
}

}  // namespace quillory
