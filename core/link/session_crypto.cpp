#include "core/link/session_crypto.h"

#include <array>

namespace quillory::session_crypto {

namespace {

constexpr std::string_view helloLabel = "QUILLORY-HELLO-9";
constexpr std::string_view signLabel = "QUILLORY-SIGN-9";
constexpr std::string_view transcriptLabel = "QUILLORY-TRANSCRIPT-9";
constexpr std::string_view sealedLabel = "QUILLORY-SEALED-9";

void append(Bytes& out, ByteView bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void append(Bytes& out, std::string_view text) {
    append(out, asBytes(text));
}

std::array<std::uint8_t, 12> recordNonce(const SecretBytes& iv, std::uint64_t sequence) {
    std::array<std::uint8_t, 12> nonce{};
    for (std::size_t index = 0; index < nonce.size() && index < iv.size(); ++index) {
        nonce[index] = iv.data()[index];
    }
    for (std::size_t index = 0; index < 8; ++index) {
        nonce[11 - index] ^= static_cast<std::uint8_t>(sequence >> (8 * index));
    }
    return nonce;
}

}  // namespace

Bytes helloBody(Side side, ByteView identity, ByteView ephemeral, ByteView nonce,
                const Uuid& intent, std::string_view name) {
    Bytes body;
    body.reserve(helloLabel.size() + 1 + 32 * 3 + 16 + 2 + name.size());
    append(body, helloLabel);
    body.push_back(static_cast<std::uint8_t>(side));
    append(body, identity);
    append(body, ephemeral);
    append(body, nonce);
    append(body, ByteView(intent.bytes()));
    body.push_back(static_cast<std::uint8_t>(name.size() >> 8));
    body.push_back(static_cast<std::uint8_t>(name.size() & 0xFF));
    append(body, name);
    return body;
}

Bytes signedMessage(ByteView firstCommit, ByteView secondCommit) {
    Bytes message;
    append(message, signLabel);
    append(message, firstCommit);
    append(message, secondCommit);
    return message;
}

std::optional<Keys> deriveKeys(Side ours, ByteView shared, ByteView macCommit, ByteView padCommit) {
    Bytes transcriptInput;
    append(transcriptInput, transcriptLabel);
    append(transcriptInput, macCommit);
    append(transcriptInput, padCommit);
    Keys keys;
    keys.transcript = crypto::sha256(transcriptInput);
    const auto prk = crypto::hkdfExtract(keys.transcript, shared);
    if (!prk) {
        return std::nullopt;
    }
    auto expand = [&](std::string_view info, std::size_t length) {
        return crypto::hkdfExpand(prk->view(), asBytes(info), length);
    };
    auto macKey = expand("quillory 9 mac to pad key", 32);
    auto macIV = expand("quillory 9 mac to pad iv", 12);
    auto padKey = expand("quillory 9 pad to mac key", 32);
    auto padIV = expand("quillory 9 pad to mac iv", 12);
    const auto codeBytes = expand("quillory 9 verification code", 8);
    if (!macKey || !macIV || !padKey || !padIV || !codeBytes) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < 8; ++index) {
        value = (value << 8) | codeBytes->data()[index];
    }
    std::string code = std::to_string(value % 1'000'000);
    keys.code = std::string(6 - code.size(), '0') + code;
    if (ours == Side::mac) {
        keys.sendKey = std::move(*macKey);
        keys.sendIV = std::move(*macIV);
        keys.receiveKey = std::move(*padKey);
        keys.receiveIV = std::move(*padIV);
    } else {
        keys.sendKey = std::move(*padKey);
        keys.sendIV = std::move(*padIV);
        keys.receiveKey = std::move(*macKey);
        keys.receiveIV = std::move(*macIV);
    }
    return keys;
}

Bytes RecordSealer::seal(ByteView plaintext) {
    const auto nonce = recordNonce(iv_, sequence_++);
    return crypto::chacha20Poly1305Seal(key_.view(), nonce, plaintext, asBytes(sealedLabel));
}

std::optional<Bytes> RecordOpener::open(ByteView sealed) {
    const auto nonce = recordNonce(iv_, sequence_);
    auto plaintext = crypto::chacha20Poly1305Open(key_.view(), nonce, sealed, asBytes(sealedLabel));
    if (plaintext) {
        ++sequence_;
    }
    return plaintext;
}

}  // namespace quillory::session_crypto
