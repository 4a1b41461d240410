#pragma once

#include <gst/gst.h>

#include <functional>
#include <string>

namespace quillory {

// A reply of webrtcbin's: whether it came (an interrupted promise never replies) and its
// structure, which may be null for a plain success.
using PromiseReply = std::function<void(bool replied, const GstStructure* reply)>;

// A promise that hands its reply to `reply` on whichever thread answers it, once.
GstPromise* makePromise(PromiseReply reply);

// The error a reply carries, empty for none; "interrupted" when no reply came.
std::string promiseError(bool replied, const GstStructure* reply);

}  // namespace quillory
