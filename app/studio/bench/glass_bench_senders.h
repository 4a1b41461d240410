#pragma once

#include "protocol/json_codec.h"

namespace quillory::bench {

// The sending side of the glass-to-glass benchmark, each run as a process of its own so that its
// CPU time can be read from /proc. Both talk JSON lines: commands on stdin, events on stdout;
// stdin closing ends the process.

// Our stack: the application's Studio (SystemStudio) on a SerialQueue, with the encoder factory
// traced and the GStreamer transport linked in.
//   in:  {"signal":{...}}            a Studio signal from the tablet
//        {"report":{"from":S,"to":S}} the host share and bytes of outputs in that uptime window
//        {"trace":"FILE"}             writes the stream's performance trace there
//   out: {"signal":{...}}, {"status":"..."}, {"failure":"..."},
//        {"report":{"hostShare":[ms...],"bytes":N,"frames":N,"outputs":[[uptime,captureNs]...]}}
int runOurSender();

// A plain webrtcbin pipeline: ximagesrc, videoconvert, x264enc (zero latency, ultrafast) at a
// fixed bitrate in kbit/s and 60 frames per second, rtph264pay; ICE on 127.0.0.1 only.
//   in:  {"answer":"SDP"}
//   out: {"offer":"SDP"}, {"failure":"..."}
int runPlainSender(int bitrateKbps);

// One line on stdout, whole, from any thread.
void emitLine(const Json& line);

}  // namespace quillory::bench
