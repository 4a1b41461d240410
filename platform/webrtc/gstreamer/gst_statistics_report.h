#pragma once

#include <gst/gst.h>

#include <string>
#include <string_view>

#include "platform/webrtc/studio_statistics_report.h"

namespace quillory {

// "packets-sent" → "packetsSent".
std::string camelCaseName(std::string_view hyphenated);

// webrtcbin's get-stats reply as a plain report, entries in the reply's order: each member
// structure becomes an entry with its "id", the nick of its "type" and its millisecond
// "timestamp" in microseconds; numeric, boolean and text members become values under camelCase
// names, anything else is left out. Members that are not structures are skipped.
StudioStatisticsReport statisticsReportFromGst(const GstStructure* reply);

}  // namespace quillory
