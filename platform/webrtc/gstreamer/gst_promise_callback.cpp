#include "platform/webrtc/gstreamer/gst_promise_callback.h"

#include "platform/webrtc/gstreamer/glib_handoff.h"

namespace quillory {

GstPromise* makePromise(PromiseReply reply) {
    return gst_promise_new_with_change_func(
        [](GstPromise* promise, gpointer data) {
            const auto callback = fromGlib<PromiseReply>(data);
            const bool replied = gst_promise_wait(promise) == GST_PROMISE_RESULT_REPLIED;
            callback(replied, replied ? gst_promise_get_reply(promise) : nullptr);
        },
        handedToGlib(new PromiseReply(std::move(reply))), deleteFromGlib<PromiseReply>);
}

std::string promiseError(bool replied, const GstStructure* reply) {
    if (!replied) {
        return "interrupted";
    }
    if (reply == nullptr || !gst_structure_has_field(reply, "error")) {
        return {};
    }
    GError* error = nullptr;
    gst_structure_get(reply, "error", G_TYPE_ERROR, &error, nullptr);
    std::string message = error != nullptr && error->message != nullptr ? error->message : "failed";
    if (error != nullptr) {
        g_error_free(error);
    }
    return message;
}

}  // namespace quillory
