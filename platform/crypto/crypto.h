#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quillory {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

ByteView asBytes(std::string_view text);

// Bytes that are wiped when freed; for keys and shared secrets.
class SecretBytes {
  public:
    SecretBytes() = default;
    explicit SecretBytes(ByteView bytes);
    explicit SecretBytes(std::size_t size);
    SecretBytes(const SecretBytes& other);
    SecretBytes& operator=(const SecretBytes& other);
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    ~SecretBytes();

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    ByteView view() const { return {bytes_.data(), bytes_.size()}; }
    bool operator==(const SecretBytes& other) const;

  private:
    void wipe();
    std::vector<std::uint8_t> bytes_;
};

namespace crypto {

using Sha256Digest = std::array<std::uint8_t, 32>;
using PublicKey = std::array<std::uint8_t, 32>;
using Signature = std::array<std::uint8_t, 64>;

// Fills from the system's CSPRNG; aborts if it cannot (nothing safe can continue then).
Bytes randomBytes(std::size_t count);
Sha256Digest sha256(ByteView data);

// RFC 5869 with SHA-256; returns nothing when the length is outside 1...8160 or the expanded key is
// shorter than 32 bytes.
std::optional<SecretBytes> hkdfExtract(ByteView salt, ByteView inputKeyMaterial);
std::optional<SecretBytes> hkdfExpand(ByteView pseudoRandomKey, ByteView info, std::size_t length);
std::optional<SecretBytes> hkdfSha256(ByteView inputKeyMaterial, ByteView salt, ByteView info,
                                      std::size_t length);

class Ed25519SigningKey {
  public:
    static Ed25519SigningKey generate();
    // The 32-byte private seed; nothing when it is not 32 bytes.
    static std::optional<Ed25519SigningKey> fromSeed(ByteView seed);

    const SecretBytes& seed() const { return seed_; }
    const PublicKey& publicKey() const { return publicKey_; }
    Signature sign(ByteView message) const;

  private:
    explicit Ed25519SigningKey(SecretBytes seed);
    SecretBytes seed_;
    PublicKey publicKey_{};
};

bool ed25519Verify(ByteView publicKey, ByteView message, ByteView signature);

class X25519PrivateKey {
  public:
    static X25519PrivateKey generate();
    static std::optional<X25519PrivateKey> fromRaw(ByteView privateKey);

    const SecretBytes& raw() const { return raw_; }
    const PublicKey& publicKey() const { return publicKey_; }
    // Nothing when the peer key is malformed or the result is all zero.
    std::optional<SecretBytes> sharedSecret(ByteView peerPublicKey) const;

  private:
    explicit X25519PrivateKey(SecretBytes raw);
    SecretBytes raw_;
    PublicKey publicKey_{};
};

// RFC 8439 AEAD: 32-byte key, 12-byte nonce; sealed output is ciphertext followed by the 16-byte
// tag. Sealing with a key or nonce of another size is a programming error and aborts; opening
// returns nothing for them, as for any forged or altered input.
constexpr std::size_t chaChaTagSize = 16;
Bytes chacha20Poly1305Seal(ByteView key, ByteView nonce, ByteView plaintext, ByteView aad);
std::optional<Bytes> chacha20Poly1305Open(ByteView key, ByteView nonce, ByteView sealed,
                                          ByteView aad);

}  // namespace crypto
}  // namespace quillory
