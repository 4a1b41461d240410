#pragma once

#include <optional>

#include "platform/crypto/crypto.h"

namespace quillory {

// Length-prefixed NAL units (prefix of 1 to 4 bytes, big-endian) rewritten with 4-byte start
// codes. Nothing for a bad prefix size, an empty input, a zero-sized unit or a truncated prefix
// or body: never a partial result.
std::optional<Bytes> annexBNALUnits(ByteView bytes, int prefixSize);

struct AnnexBAccessUnit {
    Bytes bytes;
    bool keyframe = false;
};

// The parameter sets seen last in a stream, put in front of a keyframe that comes without them.
struct AnnexBParameterSets {
    Bytes sps;
    Bytes pps;
};

// One codec packet (Annex-B with 3- or 4-byte start codes) as the transport's packetizer wants
// it: 4-byte start codes; a keyframe (an IDR slice is present) gets the SPS and PPS in front,
// from the packet or else the last ones seen; a delta frame gets none; every other unit stays in
// order. Nothing for a packet without a slice, or a keyframe whose parameter sets were never
// seen.
std::optional<AnnexBAccessUnit> annexBAccessUnit(ByteView packet, AnnexBParameterSets& lastSeen);

}  // namespace quillory
