#include "platform/crypto/crypto.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace quillory {

namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct PkeyCtxFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
struct KdfCtxFree {
    void operator()(EVP_KDF_CTX* context) const { EVP_KDF_CTX_free(context); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;
using KdfCtx = std::unique_ptr<EVP_KDF_CTX, KdfCtxFree>;

constexpr std::size_t keySize = 32;
constexpr std::size_t chaChaNonceSize = 12;
constexpr std::size_t sha256Size = 32;
constexpr std::size_t hkdfMaxLength = 255 * sha256Size;

[[noreturn]] void fatal(const char* what) {
    std::fprintf(stderr, "quillory crypto: %s\n", what);
    std::abort();
}

// OpenSSL reads a pointer even for empty input; never hand it the null of an empty span.
const unsigned char* pointer(ByteView bytes) {
    static const unsigned char empty = 0;
    return bytes.empty() ? &empty : bytes.data();
}

int intSize(ByteView bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        fatal("input larger than 2 GiB");
    }
    return static_cast<int>(bytes.size());
}

// Fetched once: an implicit fetch on every call costs a provider lookup under a lock.
EVP_KDF* hkdfAlgorithm() {
    static EVP_KDF* const kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
    if (kdf == nullptr) {
        fatal("HKDF unavailable");
    }
    return kdf;
}

EVP_CIPHER* chachaAlgorithm() {
    static EVP_CIPHER* const cipher = EVP_CIPHER_fetch(nullptr, "ChaCha20-Poly1305", nullptr);
    if (cipher == nullptr) {
        fatal("ChaCha20-Poly1305 unavailable");
    }
    return cipher;
}

std::optional<SecretBytes> hkdf(int mode, ByteView key, ByteView salt, ByteView info,
                                std::size_t length) {
    if (length == 0 || length > hkdfMaxLength) {
        return std::nullopt;
    }
    KdfCtx context(EVP_KDF_CTX_new(hkdfAlgorithm()));
    if (!context) {
        return std::nullopt;
    }
    char digest[] = "SHA256";
    OSSL_PARAM params[6];
    std::size_t count = 0;
    params[count++] = OSSL_PARAM_construct_int(OSSL_KDF_PARAM_MODE, &mode);
    params[count++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0);
    params[count++] = OSSL_PARAM_construct_octet_string(
        OSSL_KDF_PARAM_KEY, const_cast<unsigned char*>(pointer(key)), key.size());
    if (!salt.empty()) {
        params[count++] = OSSL_PARAM_construct_octet_string(
            OSSL_KDF_PARAM_SALT, const_cast<unsigned char*>(salt.data()), salt.size());
    }
    if (!info.empty()) {
        params[count++] = OSSL_PARAM_construct_octet_string(
            OSSL_KDF_PARAM_INFO, const_cast<unsigned char*>(info.data()), info.size());
    }
    params[count] = OSSL_PARAM_construct_end();
    SecretBytes output(length);
    if (EVP_KDF_derive(context.get(), output.data(), output.size(), params) != 1) {
        return std::nullopt;
    }
    return output;
}

Pkey privateKey(int type, const SecretBytes& raw) {
    return Pkey(EVP_PKEY_new_raw_private_key(type, nullptr, raw.data(), raw.size()));
}

SecretBytes generatePrivateKey(const char* algorithm) {
    const Pkey key(EVP_PKEY_Q_keygen(nullptr, nullptr, algorithm));
    SecretBytes raw(keySize);
    std::size_t size = raw.size();
    if (!key || EVP_PKEY_get_raw_private_key(key.get(), raw.data(), &size) != 1 ||
        size != keySize) {
        fatal("key generation failed");
    }
    return raw;
}

crypto::PublicKey publicKeyOf(int type, const SecretBytes& privateRaw) {
    const Pkey key = privateKey(type, privateRaw);
    crypto::PublicKey raw{};
    std::size_t size = raw.size();
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), raw.data(), &size) != 1 ||
        size != raw.size()) {
        fatal("cannot derive a public key");
    }
    return raw;
}

}  // namespace

ByteView asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

SecretBytes::SecretBytes(ByteView bytes) : bytes_(bytes.begin(), bytes.end()) {}

SecretBytes::SecretBytes(std::size_t size) : bytes_(size, 0) {}

SecretBytes::SecretBytes(const SecretBytes& other) : bytes_(other.bytes_) {}

SecretBytes& SecretBytes::operator=(const SecretBytes& other) {
    if (this != &other) {
        wipe();
        bytes_ = other.bytes_;
    }
    return *this;
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) {
    other.bytes_.clear();
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        wipe();
        bytes_ = std::move(other.bytes_);
        other.bytes_.clear();
    }
    return *this;
}

SecretBytes::~SecretBytes() {
    wipe();
}

bool SecretBytes::operator==(const SecretBytes& other) const {
    return size() == other.size() && CRYPTO_memcmp(data(), other.data(), size()) == 0;
}

void SecretBytes::wipe() {
    if (!bytes_.empty()) {
        OPENSSL_cleanse(bytes_.data(), bytes_.size());
    }
}

namespace crypto {

Bytes randomBytes(std::size_t count) {
    Bytes bytes(count);
    if (count > static_cast<std::size_t>(INT32_MAX) ||
        (count > 0 && RAND_bytes(bytes.data(), static_cast<int>(count)) != 1)) {
        fatal("the system random generator failed");
    }
    return bytes;
}

Sha256Digest sha256(ByteView data) {
    Sha256Digest digest{};
    unsigned int size = 0;
    if (EVP_Digest(pointer(data), data.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1 ||
        size != digest.size()) {
        fatal("SHA-256 failed");
    }
    return digest;
}

std::optional<SecretBytes> hkdfExtract(ByteView salt, ByteView inputKeyMaterial) {
    return hkdf(EVP_KDF_HKDF_MODE_EXTRACT_ONLY, inputKeyMaterial, salt, {}, sha256Size);
}

std::optional<SecretBytes> hkdfExpand(ByteView pseudoRandomKey, ByteView info, std::size_t length) {
    if (pseudoRandomKey.size() < sha256Size) {
        return std::nullopt;
    }
    return hkdf(EVP_KDF_HKDF_MODE_EXPAND_ONLY, pseudoRandomKey, {}, info, length);
}

std::optional<SecretBytes> hkdfSha256(ByteView inputKeyMaterial, ByteView salt, ByteView info,
                                      std::size_t length) {
    return hkdf(EVP_KDF_HKDF_MODE_EXTRACT_AND_EXPAND, inputKeyMaterial, salt, info, length);
}

Ed25519SigningKey::Ed25519SigningKey(SecretBytes seed)
    : seed_(std::move(seed)), publicKey_(publicKeyOf(EVP_PKEY_ED25519, seed_)) {}

Ed25519SigningKey Ed25519SigningKey::generate() {
    return Ed25519SigningKey(generatePrivateKey("ED25519"));
}

std::optional<Ed25519SigningKey> Ed25519SigningKey::fromSeed(ByteView seed) {
    if (seed.size() != keySize) {
        return std::nullopt;
    }
    return Ed25519SigningKey(SecretBytes(seed));
}

Signature Ed25519SigningKey::sign(ByteView message) const {
    const Pkey key = privateKey(EVP_PKEY_ED25519, seed_);
    const MdCtx context(EVP_MD_CTX_new());
    Signature signature{};
    std::size_t size = signature.size();
    if (!key || !context ||
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &size, pointer(message), message.size()) !=
            1 ||
        size != signature.size()) {
        fatal("Ed25519 signing failed");
    }
    return signature;
}

bool ed25519Verify(ByteView publicKey, ByteView message, ByteView signature) {
    if (publicKey.size() != keySize || signature.size() != std::tuple_size_v<Signature>) {
        return false;
    }
    const Pkey key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, publicKey.data(), publicKey.size()));
    const MdCtx context(EVP_MD_CTX_new());
    return key && context &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), signature.data(), signature.size(), pointer(message),
                            message.size()) == 1;
}

X25519PrivateKey::X25519PrivateKey(SecretBytes raw)
    : raw_(std::move(raw)), publicKey_(publicKeyOf(EVP_PKEY_X25519, raw_)) {}

X25519PrivateKey X25519PrivateKey::generate() {
    return X25519PrivateKey(generatePrivateKey("X25519"));
}

std::optional<X25519PrivateKey> X25519PrivateKey::fromRaw(ByteView privateKey) {
    if (privateKey.size() != keySize) {
        return std::nullopt;
    }
    return X25519PrivateKey(SecretBytes(privateKey));
}

std::optional<SecretBytes> X25519PrivateKey::sharedSecret(ByteView peerPublicKey) const {
    if (peerPublicKey.size() != keySize) {
        return std::nullopt;
    }
    const Pkey ours = privateKey(EVP_PKEY_X25519, raw_);
    const Pkey peer(EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peerPublicKey.data(),
                                                peerPublicKey.size()));
    if (!ours || !peer) {
        return std::nullopt;
    }
    const PkeyCtx context(EVP_PKEY_CTX_new_from_pkey(nullptr, ours.get(), nullptr));
    SecretBytes shared(keySize);
    std::size_t size = shared.size();
    if (!context || EVP_PKEY_derive_init(context.get()) != 1 ||
        EVP_PKEY_derive_set_peer(context.get(), peer.get()) != 1 ||
        EVP_PKEY_derive(context.get(), shared.data(), &size) != 1 || size != keySize) {
        return std::nullopt;
    }
    // A low-order peer point gives zero whatever our key is: no secret was agreed.
    static const std::uint8_t zeros[keySize] = {};
    if (CRYPTO_memcmp(shared.data(), zeros, keySize) == 0) {
        return std::nullopt;
    }
    return shared;
}

Bytes chacha20Poly1305Seal(ByteView key, ByteView nonce, ByteView plaintext, ByteView aad) {
    if (key.size() != keySize || nonce.size() != chaChaNonceSize) {
        fatal("ChaCha20-Poly1305 needs a 32-byte key and a 12-byte nonce");
    }
    const CipherCtx context(EVP_CIPHER_CTX_new());
    Bytes sealed(plaintext.size() + chaChaTagSize);
    int written = 0;
    int finalWritten = 0;
    if (!context ||
        EVP_EncryptInit_ex2(context.get(), chachaAlgorithm(), key.data(), nonce.data(), nullptr) !=
            1 ||
        (!aad.empty() &&
         EVP_EncryptUpdate(context.get(), nullptr, &written, aad.data(), intSize(aad)) != 1) ||
        EVP_EncryptUpdate(context.get(), sealed.data(), &written, pointer(plaintext),
                          intSize(plaintext)) != 1 ||
        EVP_EncryptFinal_ex(context.get(), sealed.data() + written, &finalWritten) != 1 ||
        static_cast<std::size_t>(written + finalWritten) != plaintext.size() ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_AEAD_GET_TAG, chaChaTagSize,
                            sealed.data() + plaintext.size()) != 1) {
        fatal("ChaCha20-Poly1305 sealing failed");
    }
    return sealed;
}

std::optional<Bytes> chacha20Poly1305Open(ByteView key, ByteView nonce, ByteView sealed,
                                          ByteView aad) {
    if (key.size() != keySize || nonce.size() != chaChaNonceSize || sealed.size() < chaChaTagSize) {
        return std::nullopt;
    }
    const ByteView ciphertext = sealed.first(sealed.size() - chaChaTagSize);
    Bytes tag(sealed.end() - chaChaTagSize, sealed.end());
    const CipherCtx context(EVP_CIPHER_CTX_new());
    // One spare byte so that the final call always has somewhere to point.
    Bytes plaintext(ciphertext.size() + 1);
    int written = 0;
    int finalWritten = 0;
    const bool opened =
        context &&
        EVP_DecryptInit_ex2(context.get(), chachaAlgorithm(), key.data(), nonce.data(), nullptr) ==
            1 &&
        (aad.empty() ||
         EVP_DecryptUpdate(context.get(), nullptr, &written, aad.data(), intSize(aad)) == 1) &&
        EVP_DecryptUpdate(context.get(), plaintext.data(), &written, pointer(ciphertext),
                          intSize(ciphertext)) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_AEAD_SET_TAG, chaChaTagSize, tag.data()) == 1 &&
        EVP_DecryptFinal_ex(context.get(), plaintext.data() + written, &finalWritten) == 1 &&
        static_cast<std::size_t>(written + finalWritten) == ciphertext.size();
    if (!opened) {
        // Unauthenticated plaintext must not linger.
        OPENSSL_cleanse(plaintext.data(), plaintext.size());
        return std::nullopt;
    }
    plaintext.resize(ciphertext.size());
    return plaintext;
}

}  // namespace crypto
}  // namespace quillory
