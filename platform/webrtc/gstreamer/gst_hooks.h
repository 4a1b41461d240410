#pragma once

#include <gst/gst.h>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/webrtc/gstreamer/glib_handoff.h"

namespace quillory {

// The signal handlers and pad probes an owner attaches to GStreamer objects, each with a weak
// pointer to the owner as its data. close() takes them all back and none is attached after it,
// though GStreamer threads may still be attaching while it runs. Thread-safe.
template <class Owner>
class GstHooks {
  public:
    using Weak = std::weak_ptr<Owner>;

    void connect(GObject* object, const char* signal, GCallback handler, const Weak& owner) {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        const gulong id = g_signal_connect_data(
            object, signal, handler, handedToGlib(new Weak(owner)),
            [](gpointer data, GClosure*) { deleteFromGlib<Weak>(data); },
            static_cast<GConnectFlags>(0));
        handlers_.emplace_back(object, id);
    }

    void probe(GstPad* pad, GstPadProbeType type, GstPadProbeCallback callback, const Weak& owner) {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        const gulong id = gst_pad_add_probe(pad, type, callback, handedToGlib(new Weak(owner)),
                                            deleteFromGlib<Weak>);
        if (id != 0) {
            probes_.emplace_back(GST_PAD(gst_object_ref(pad)), id);
        }
    }

    void close() {
        std::vector<std::pair<GObject*, gulong>> handlers;
        std::vector<std::pair<GstPad*, gulong>> probes;
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            handlers.swap(handlers_);
            probes.swap(probes_);
        }
        for (const auto& [object, id] : handlers) {
            g_signal_handler_disconnect(object, id);
        }
        for (const auto& [pad, id] : probes) {
            gst_pad_remove_probe(pad, id);
            gst_object_unref(pad);
        }
    }

  private:
    std::mutex mutex_;
    bool closed_ = false;
    std::vector<std::pair<GObject*, gulong>> handlers_;
    std::vector<std::pair<GstPad*, gulong>> probes_;
};

}  // namespace quillory
