#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "protocol/json_codec.h"

namespace quillory {

constexpr int protocolVersion = 9;

// One line of the session stream: {"version":9,"kind":K,"data":B} followed by 0x0A.
struct SessionPacket {
    enum class Kind { commit, hello, sealed };

    // JSON bytes of one line, the terminating 0x0A not counted.
    static constexpr std::size_t maxLineBytes = 65'535;

    Kind kind = Kind::commit;
    Bytes data;

    Json toJSON() const;
    // The compact JSON followed by 0x0A.
    std::string encodeLine() const;
    // Needs "version" 9; the version check that tells an old peer from a broken one is the
    // decoder's.
    static std::optional<SessionPacket> fromJSON(const Json& json);

    friend bool operator==(const SessionPacket&, const SessionPacket&) = default;
};

template <>
struct RawValues<SessionPacket::Kind> {
    static constexpr std::array<std::string_view, 3> names{"commit", "hello", "sealed"};
};

}  // namespace quillory
