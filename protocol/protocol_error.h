#pragma once

namespace quillory {

// Why the packet stream cannot be read further.
enum class ProtocolError {
    // Not a JSON object, a missing or mistyped field, an unknown kind, bad base64, an empty or
    // over-long line.
    invalidFrame,
    // The peer speaks another protocol version.
    unsupportedVersion,
};

}  // namespace quillory
