#pragma once

#include "platform/log/logger.h"
#include "protocol/connection_end.h"

namespace quillory {

// Why a channel ended, as its log line names it, and the end each cause reports by default.
struct ChannelTermination {
    enum class Cause {
        application,
        systemPaused,
        peerStopped,
        intentStopped,
        peerClosed,
        networkFailure,
        handshakeTimeout,
        heartbeatExpired,
        frameSizeExceeded,
        writeBackpressure,
        invalidFrame,
        unsupportedVersion,
        handshakeRejected,
        decryptionFailed,
        invalidPayload,
        identityMismatch,
        pairingNotAllowed,
        storageFailure,
    };
    static const char* rawValue(Cause cause);
    static ConnectionEnd endFor(Cause cause);
};

// The log of every part of a channel.
const Logger& channelLog();

}  // namespace quillory
