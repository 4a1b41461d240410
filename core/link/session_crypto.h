#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/crypto/crypto.h"
#include "protocol/uuid.h"

namespace quillory {

// The byte-level pieces of the link's handshake and record protection.
namespace session_crypto {

enum class Side : std::uint8_t { mac = 0x01, pad = 0x02 };

// The canonical hello body: the input to the commitment, the signature and the transcript.
Bytes helloBody(Side side, ByteView identity, ByteView ephemeral, ByteView nonce,
                const Uuid& intent, std::string_view name);
// "QUILLORY-SIGN-9" || first || second.
Bytes signedMessage(ByteView firstCommit, ByteView secondCommit);

struct Keys {
    SecretBytes sendKey;
    SecretBytes sendIV;
    SecretBytes receiveKey;
    SecretBytes receiveIV;
    std::string code;  // six digits; shown to the user, never sent or logged
    crypto::Sha256Digest transcript{};
};

// The key schedule, from our side's point of view.
std::optional<Keys> deriveKeys(Side ours, ByteView shared, ByteView macCommit, ByteView padCommit);

// One direction of sealed records: the nonce is the IV XOR the record's sequence number, and
// the sequence rises by one per record, so every record has its own nonce.
class RecordSealer {
  public:
    RecordSealer() = default;
    RecordSealer(SecretBytes key, SecretBytes iv) : key_(std::move(key)), iv_(std::move(iv)) {}
    std::uint64_t next() const { return sequence_; }
    Bytes seal(ByteView plaintext);

  private:
    SecretBytes key_;
    SecretBytes iv_;
    std::uint64_t sequence_ = 0;
};

// Opens only the record with the next expected sequence number, so replayed, reordered, lost
// or altered records all fail.
class RecordOpener {
  public:
    RecordOpener() = default;
    RecordOpener(SecretBytes key, SecretBytes iv) : key_(std::move(key)), iv_(std::move(iv)) {}
    std::uint64_t next() const { return sequence_; }
    std::optional<Bytes> open(ByteView sealed);

  private:
    SecretBytes key_;
    SecretBytes iv_;
    std::uint64_t sequence_ = 0;
};

}  // namespace session_crypto
}  // namespace quillory
