#include "protocol/session_packet.h"

namespace quillory {

Json SessionPacket::toJSON() const {
    return json_codec::ObjectWriter()
        .field("version", std::int64_t{protocolVersion})
        .field("kind", kind)
        .field("data", data)
        .take();
}

std::string SessionPacket::encodeLine() const {
    std::string line = dumpJSON(toJSON());
    line.push_back('\n');
    return line;
}

std::optional<SessionPacket> SessionPacket::fromJSON(const Json& json) {
    SessionPacket packet;
    std::int64_t version = 0;
    json_codec::ObjectReader reader(json);
    reader.read("version", version);
    reader.read("kind", packet.kind);
    reader.read("data", packet.data);
    if (!reader.ok() || version != protocolVersion) {
        return std::nullopt;
    }
    return packet;
}

}  // namespace quillory
