#include "core/link/channel_termination.h"

#include <cstddef>

namespace quillory {

namespace {

constexpr const char* pairingExpired = "Pairing expired. Select your computer to try again.";

}  // namespace

const Logger& channelLog() {
    static const Logger logger("app.quillory.connection", "channel");
    return logger;
}

const char* ChannelTermination::rawValue(Cause cause) {
    static constexpr const char* names[] = {
        "application",       "systemPaused",      "peerStopped",      "intentStopped",
        "peerClosed",        "networkFailure",    "handshakeTimeout", "heartbeatExpired",
        "frameSizeExceeded", "writeBackpressure", "invalidFrame",     "unsupportedVersion",
        "handshakeRejected", "decryptionFailed",  "invalidPayload",   "identityMismatch",
        "pairingNotAllowed", "storageFailure",
    };
    return names[static_cast<std::size_t>(cause)];
}

ConnectionEnd ChannelTermination::endFor(Cause cause) {
    switch (cause) {
        case Cause::peerStopped:
        case Cause::intentStopped:
        case Cause::application:
            return ConnectionEnd(ConnectionEnd::Case::stopped);
        case Cause::handshakeTimeout:
            return ConnectionEnd::failure(pairingExpired);
        case Cause::frameSizeExceeded:
        case Cause::invalidFrame:
        case Cause::handshakeRejected:
        case Cause::decryptionFailed:
        case Cause::invalidPayload:
            return ConnectionEnd(ConnectionEnd::Case::verification);
        case Cause::unsupportedVersion:
            return ConnectionEnd(ConnectionEnd::Case::incompatible);
        case Cause::identityMismatch:
            return ConnectionEnd(ConnectionEnd::Case::identityChanged);
        case Cause::pairingNotAllowed:
            return ConnectionEnd(ConnectionEnd::Case::trustRequired);
        case Cause::storageFailure:
            return ConnectionEnd(ConnectionEnd::Case::storage);
        case Cause::systemPaused:
        case Cause::peerClosed:
        case Cause::networkFailure:
        case Cause::heartbeatExpired:
        case Cause::writeBackpressure:
            break;
    }
    return ConnectionEnd(ConnectionEnd::Case::interrupted);
}

}  // namespace quillory
