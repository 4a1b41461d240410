#include "tools/policy-replay/policy_replay.h"

#include <cmath>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>

#include "media/studio_json_text.h"
#include "protocol/raw_value.h"
#include "protocol/uuid.h"

namespace quillory {

namespace {

using Json = nlohmann::json;

// Reads the members of one JSON object, naming each by its path in errors, and rejects members
// nobody asked for so that a misspelt key cannot pass unnoticed.
class Fields {
  public:
    Fields(const Json& json, std::string path) : json_(json), path_(std::move(path)) {
        if (!json_.is_object()) {
            throw PolicyReplayError(where() + "must be an object");
        }
    }

    bool has(const std::string& key) {
        used_.insert(key);
        const auto found = json_.find(key);
        return found != json_.end() && !found->is_null();
    }

    const Json& at(const std::string& key) {
        if (!has(key)) {
            throw PolicyReplayError("\"" + name(key) + "\" is missing");
        }
        return json_.at(key);
    }

    double number(const std::string& key) {
        const Json& value = at(key);
        if (!value.is_number()) {
            throw PolicyReplayError("\"" + name(key) + "\" must be a number");
        }
        return value.get<double>();
    }

    template <typename Int>
    Int integer(const std::string& key) {
        const Json& value = at(key);
        const bool fits = (value.is_number_unsigned() &&
                           value.get<std::uint64_t>() <=
                               static_cast<std::uint64_t>(std::numeric_limits<Int>::max())) ||
                          (value.is_number_integer() && !value.is_number_unsigned() &&
                           value.get<std::int64_t>() >= std::numeric_limits<Int>::min() &&
                           value.get<std::int64_t>() <= std::numeric_limits<Int>::max());
        if (!fits) {
            throw PolicyReplayError("\"" + name(key) + "\" must be an integer in range");
        }
        return static_cast<Int>(value.get<std::int64_t>());
    }

    std::string text(const std::string& key) {
        const Json& value = at(key);
        if (!value.is_string()) {
            throw PolicyReplayError("\"" + name(key) + "\" must be a string");
        }
        return value.get<std::string>();
    }

    std::optional<double> optionalNumber(const std::string& key) {
        return has(key) ? std::optional(number(key)) : std::nullopt;
    }

    template <typename Int>
    std::optional<Int> optionalInteger(const std::string& key) {
        return has(key) ? std::optional(integer<Int>(key)) : std::nullopt;
    }

    std::string name(const std::string& key) const {
        return path_.empty() ? key : path_ + "." + key;
    }

    // Call once every member has been read.
    void finish() const {
        for (const auto& [key, value] : json_.items()) {
            if (!used_.contains(key)) {
                throw PolicyReplayError("unknown member \"" + name(key) + "\"");
            }
        }
    }

  private:
    std::string where() const { return path_.empty() ? "the record " : "\"" + path_ + "\" "; }

    const Json& json_;
    std::string path_;
    std::set<std::string> used_;
};

StudioEncoderFeedback readFeedback(const Json& json) {
    Fields in(json, "feedback");
    StudioEncoderFeedback f;
    const std::optional<Uuid> epoch = Uuid::parse(in.text("epoch"));
    if (!epoch) {
        throw PolicyReplayError("\"feedback.epoch\" must be a UUID");
    }
    f.epoch = *epoch;
    f.epochStartedAt = in.number("epochStartedAt");
    f.observedAt = in.number("observedAt");
    f.windowStart = in.optionalNumber("windowStart");
    f.bitrate = in.integer<std::int64_t>("bitrate");
    f.width = in.integer<int>("width");
    f.height = in.integer<int>("height");
    f.framesPerSecond = in.integer<int>("framesPerSecond");
    f.submitted = in.integer<int>("submitted");
    f.dropped = in.integer<int>("dropped");
    f.output = in.integer<int>("output");
    f.consecutiveKeyframeDrops = in.integer<int>("consecutiveKeyframeDrops");
    in.finish();
    return f;
}

StudioMediaInterval readInterval(const Json& json) {
    Fields in(json, "interval");
    StudioMediaInterval i;
    i.windowStart = in.optionalNumber("windowStart");
    i.windowEnd = in.optionalNumber("windowEnd");
    i.seconds = in.number("seconds");
    i.frames = in.integer<int>("frames");
    i.fps = in.number("fps");
    i.encodeMS = in.optionalNumber("encodeMS");
    i.queueMS = in.optionalNumber("queueMS");
    i.decodeMS = in.optionalNumber("decodeMS");
    i.bufferMS = in.optionalNumber("bufferMS");
    i.meanQP = in.optionalNumber("meanQP");
    i.retransmissionFraction = in.optionalNumber("retransmissionFraction");
    i.sentPackets = in.optionalInteger<int>("sentPackets");
    i.sentBytes = in.optionalNumber("sentBytes");
    in.finish();
    return i;
}

StudioOperatingPoint readPoint(const Json& json) {
    Fields in(json, "point");
    StudioOperatingPoint p;
    p.size.width = in.integer<int>("width");
    p.size.height = in.integer<int>("height");
    p.size.requestWidth = in.integer<int>("requestWidth");
    p.size.requestHeight = in.integer<int>("requestHeight");
    p.framesPerSecond = in.integer<int>("framesPerSecond");
    in.finish();
    return p;
}

Json pointJson(const StudioOperatingPoint& p) {
    return {{"width", p.size.width},
            {"height", p.size.height},
            {"requestWidth", p.size.requestWidth},
            {"requestHeight", p.size.requestHeight},
            {"framesPerSecond", p.framesPerSecond}};
}

void configure(Fields& in, std::optional<StudioOperatingPointPolicy>& policy, Json& out) {
    const double now = in.number("now");
    const std::string presetText = in.text("preset");
    const std::optional<StudioPreset> preset = fromRawValue<StudioPreset>(presetText);
    if (!preset) {
        throw PolicyReplayError("\"preset\" must be \"quality\", \"balanced\" or \"responsive\"");
    }
    const StudioStreamConfiguration configuration{*preset, in.integer<int>("width"),
                                                  in.integer<int>("height")};
    in.finish();
    if (policy) {
        out["changed"] = policy->reconfigure(configuration, now).has_value();
    } else {
        policy.emplace(configuration.preset, configuration.width, configuration.height, now);
        out["changed"] = true;
    }
}

// Every event but "configure" and "reset", which carry a time.
std::optional<StudioOperatingPoint> replayTimed(const std::string& event, Fields& in,
                                                StudioOperatingPointPolicy& policy, Json& out) {
    const double now = in.number("now");
    if (event == "applied") {
        const StudioOperatingPoint point =
            in.has("point") ? readPoint(in.at("point")) : policy.target();
        in.finish();
        policy.markApplied(point, now);
        return std::nullopt;
    }
    if (event == "observe") {
        const StudioEncoderFeedback feedback = readFeedback(in.at("feedback"));
        std::optional<StudioMediaInterval> interval;
        if (in.has("interval")) {
            interval = readInterval(in.at("interval"));
        }
        in.finish();
        const StudioAdaptationObservation observation(feedback, interval);
        out["validity"] = rawValue(observation.validity());
        return policy.observe(observation, now);
    }
    in.finish();
    if (event == "deadline") {
        return policy.deadlineReached(now);
    }
    policy.resume(now);
    return std::nullopt;
}

void replayEvent(const std::string& event, Fields& in,
                 std::optional<StudioOperatingPointPolicy>& policy, Json& out) {
    if (event != "applied" && event != "observe" && event != "deadline" && event != "reset" &&
        event != "resume") {
        throw PolicyReplayError("unknown event \"" + event + "\"");
    }
    if (!policy) {
        throw PolicyReplayError("\"" + event + "\" before the first \"configure\"");
    }
    const std::uint64_t recorded = policy->assessmentCount();
    std::optional<StudioOperatingPoint> changed;
    if (event == "reset") {
        in.finish();
        policy->reset();
    } else {
        changed = replayTimed(event, in, *policy, out);
    }
    out["changed"] = changed.has_value();
    if (policy->assessmentCount() != recorded) {
        Json assessment = policy->assessment()->toJSON();
        if (const JSONText text = prettyJSONText(assessment); !text) {
            throw PolicyReplayError("the assessment cannot be written: " + text.error);
        }
        out["assessment"] = std::move(assessment);
    }
}

}  // namespace

std::optional<std::string> PolicyReplay::step(std::string_view line) {
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
        return std::nullopt;
    }
    const Json record = Json::parse(line, nullptr, false);
    if (record.is_discarded()) {
        throw PolicyReplayError("not a JSON record");
    }
    Fields in(record, "");
    const std::string event = in.text("event");
    Json out = {{"event", event}};
    if (event == "configure") {
        configure(in, policy_, out);
    } else {
        replayEvent(event, in, policy_, out);
    }
    out["target"] = pointJson(policy_->target());
    if (const std::optional<double>& deadline = policy_->nextDeadline()) {
        out["nextDeadline"] = *deadline;
    }
    return out.dump();
}

bool PolicyReplay::run(std::istream& input, std::ostream& output, std::ostream& errors) {
    std::string line;
    for (std::size_t number = 1; std::getline(input, line); ++number) {
        try {
            if (const std::optional<std::string> result = step(line)) {
                output << *result << '\n';
            }
        } catch (const PolicyReplayError& error) {
            errors << "line " << number << ": " << error.what() << '\n';
            return false;
        }
    }
    output.flush();
    return true;
}

}  // namespace quillory
