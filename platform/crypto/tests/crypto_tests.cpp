#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/crypto.h"

namespace quillory::crypto {
namespace {

Bytes fromHex(std::string_view hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoul(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

std::string toHex(ByteView bytes) {
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 0xf];
    }
    return hex;
}

Bytes range(unsigned first, unsigned last) {
    Bytes bytes;
    for (unsigned value = first; value <= last; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

TEST(Sha256, MatchesFipsVector) {
    EXPECT_EQ(toHex(sha256(asBytes("abc"))),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// RFC 5869 appendix A, cases 1 to 3: extract, expand, and both in one call.
TEST(Hkdf, MatchesRfc5869Vectors) {
    const struct {
        Bytes ikm, salt, info;
        std::size_t length;
        std::string prk, okm;
    } cases[] = {
        {Bytes(22, 0x0b), range(0x00, 0x0c), range(0xf0, 0xf9), 42,
         "077709362c2e32df0ddc3f0dc47bba6390b6c73bb50f9c3122ec844ad7c2b3e5",
         "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf"
         "34007208d5b887185865"},
        {range(0x00, 0x4f), range(0x60, 0xaf), range(0xb0, 0xff), 82,
         "06a6b88c5853361a06104c9ceb35b45cef760014904671014a193f40c15fc244",
         "b11e398dc80327a1c8e7f78c596a49344f012eda2d4efad8a050cc4c19afa97c"
         "59045a99cac7827271cb41c65e590e09da3275600c2f09b8367793a9aca3db71"
         "cc30c58179ec3e87c14c01d5c1f3434f1d87"},
        {Bytes(22, 0x0b), Bytes(), Bytes(), 42,
         "19ef24a32c717b167f33a91d6f648bdf96596776afdb6377ac434c1c293ccb04",
         "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d"
         "9d201395faa4b61a96c8"},
    };
    for (const auto& c : cases) {
        const auto prk = hkdfExtract(c.salt, c.ikm);
        ASSERT_TRUE(prk);
        EXPECT_EQ(toHex(prk->view()), c.prk);
        EXPECT_EQ(toHex(hkdfExpand(prk->view(), c.info, c.length)->view()), c.okm);
        EXPECT_EQ(toHex(hkdfSha256(c.ikm, c.salt, c.info, c.length)->view()), c.okm);
    }
    const Bytes prk(32, 0x42);
    EXPECT_FALSE(hkdfExpand(prk, {}, 0));
    EXPECT_TRUE(hkdfExpand(prk, {}, 255 * 32));
    EXPECT_FALSE(hkdfExpand(prk, {}, 255 * 32 + 1));
    EXPECT_FALSE(hkdfExpand(Bytes(16, 0x42), {}, 32));
}

// RFC 8032 section 7.1, tests 1 and 2.
TEST(Ed25519, MatchesRfc8032Vectors) {
    const std::string cases[][4] = {
        {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
         "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
         "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
         "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
        {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
         "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
         "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
         "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
    };
    for (const auto& [seed, publicKey, message, signature] : cases) {
        const auto key = Ed25519SigningKey::fromSeed(fromHex(seed));
        ASSERT_TRUE(key);
        EXPECT_EQ(toHex(key->publicKey()), publicKey);
        EXPECT_EQ(toHex(key->sign(fromHex(message))), signature);
        EXPECT_TRUE(ed25519Verify(key->publicKey(), fromHex(message), fromHex(signature)));
    }
}

TEST(Ed25519, RejectsAlteredMessageSignatureOrKey) {
    const Ed25519SigningKey key = Ed25519SigningKey::generate();
    const Bytes message = fromHex("0102030405");
    const Signature signature = key.sign(message);
    ASSERT_TRUE(ed25519Verify(key.publicKey(), message, signature));

    Bytes alteredMessage = message;
    alteredMessage[0] ^= 1;
    EXPECT_FALSE(ed25519Verify(key.publicKey(), alteredMessage, signature));
    Signature alteredSignature = signature;
    alteredSignature[63] ^= 0x40;
    EXPECT_FALSE(ed25519Verify(key.publicKey(), message, alteredSignature));
    EXPECT_FALSE(ed25519Verify(Ed25519SigningKey::generate().publicKey(), message, signature));
    EXPECT_FALSE(ed25519Verify(ByteView(key.publicKey()).first(31), message, signature));
    EXPECT_FALSE(ed25519Verify(key.publicKey(), message, ByteView(signature).first(63)));
    EXPECT_FALSE(Ed25519SigningKey::fromSeed(Bytes(31, 1)));
}

// RFC 7748 sections 5.2 and 6.1.
TEST(X25519, MatchesRfc7748Vectors) {
    const std::string cases[][3] = {
        {"a546e36bf0527c9d3b16154b82465edd62144c0ac1fc5a18506a2244ba449ac4",
         "e6db6867583030db3594c1a424b15f7c726624ec26b3353b10a903a6d0ab1c4c",
         "c3da55379de9c6908e94ea4df28d084f32eccf03491c71f754b4075577a28552"},
        {"4b66e9d4d1b4673c5ad22691957d6af5c11b6421e0ea01d42ca4169e7918ba0d",
         "e5210f12786811d3f4b7959d0538ae2c31dbe7106fc03c3efc4cd549c715a493",
         "95cbde9476e8907d7aade45cb4b873f88b595a68799fa152e6f8f7647aac7957"},
    };
    for (const auto& [scalar, point, result] : cases) {
        EXPECT_EQ(
            toHex(X25519PrivateKey::fromRaw(fromHex(scalar))->sharedSecret(fromHex(point))->view()),
            result);
    }

    const auto alice = X25519PrivateKey::fromRaw(
        fromHex("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a"));
    const auto bob = X25519PrivateKey::fromRaw(
        fromHex("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb"));
    EXPECT_EQ(toHex(alice->publicKey()),
              "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a");
    EXPECT_EQ(toHex(bob->publicKey()),
              "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f");
    EXPECT_EQ(toHex(alice->sharedSecret(bob->publicKey())->view()),
              "4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742");
    EXPECT_EQ(*alice->sharedSecret(bob->publicKey()), *bob->sharedSecret(alice->publicKey()));
}

TEST(X25519, RefusesLowOrderPointsAndMalformedKeys) {
    const X25519PrivateKey key = X25519PrivateKey::generate();
    // u = 0 and u = 1 have small order: every scalar maps them to zero.
    EXPECT_FALSE(key.sharedSecret(Bytes(32, 0)));
    EXPECT_FALSE(key.sharedSecret(fromHex("01" + std::string(62, '0'))));
    EXPECT_FALSE(key.sharedSecret(Bytes(31, 9)));
    EXPECT_FALSE(X25519PrivateKey::fromRaw(Bytes(33, 1)));
}

// RFC 8439 section 2.8.2.
class ChaChaPoly : public ::testing::Test {
  protected:
    const Bytes key = range(0x80, 0x9f);
    const Bytes nonce = fromHex("070000004041424344454647");
    const Bytes aad = fromHex("50515253c0c1c2c3c4c5c6c7");
    const std::string plaintext =
        "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the "
        "future, sunscreen would be it.";
    const Bytes sealed = fromHex(
        "d31a8d34648e60db7b86afbc53ef7ec2a4aded51296e08fea9e2b5a736ee62d6"
        "3dbea45e8ca9671282fafb69da92728b1a71de0a9e060b2905d6a5b67ecd3b36"
        "92ddbd7f2d778b8c9803aee328091b58fab324e4fad675945585808b4831d7bc"
        "3ff4def08e4b7a9de576d26586cec64b61161ae10b594f09e26a7e902ecbd060"
        "0691");
};

TEST_F(ChaChaPoly, MatchesRfc8439AeadVector) {
    EXPECT_EQ(chacha20Poly1305Seal(key, nonce, asBytes(plaintext), aad), sealed);
    const auto opened = chacha20Poly1305Open(key, nonce, sealed, aad);
    ASSERT_TRUE(opened);
    EXPECT_EQ(std::string(opened->begin(), opened->end()), plaintext);
}

TEST_F(ChaChaPoly, RejectsAnyTampering) {
    const auto flipped = [](Bytes bytes, std::size_t position) {
        bytes[position] ^= 0x01;
        return bytes;
    };
    for (const std::size_t position :
         {std::size_t{0}, sealed.size() - chaChaTagSize, sealed.size() - 1}) {
        EXPECT_FALSE(chacha20Poly1305Open(key, nonce, flipped(sealed, position), aad)) << position;
    }
    EXPECT_FALSE(chacha20Poly1305Open(key, nonce, sealed, flipped(aad, 11)));
    EXPECT_FALSE(chacha20Poly1305Open(key, nonce, sealed, {}));
    EXPECT_FALSE(chacha20Poly1305Open(key, flipped(nonce, 11), sealed, aad));
    EXPECT_FALSE(chacha20Poly1305Open(flipped(key, 0), nonce, sealed, aad));
    EXPECT_FALSE(chacha20Poly1305Open(key, nonce, ByteView(sealed).first(sealed.size() - 1), aad));
    EXPECT_FALSE(chacha20Poly1305Open(key, nonce, ByteView(sealed).first(chaChaTagSize - 1), aad));
    EXPECT_FALSE(chacha20Poly1305Open(ByteView(key).first(31), nonce, sealed, aad));
}

// The channel's key schedule built from these primitives: shared secret, HKDF-Extract salted with
// the transcript hash, labelled expansion, and the first sealed record (nonce = IV XOR 0).
TEST(KeySchedule, ReproducesTheLinkTestVector) {
    const auto shared = X25519PrivateKey::fromRaw(Bytes(32, 0x11))
                            ->sharedSecret(X25519PrivateKey::fromRaw(Bytes(32, 0x12))->publicKey());
    ASSERT_TRUE(shared);
    EXPECT_EQ(toHex(shared->view()),
              "0a8b7643c0576a2cf7023b77d98843922eabbc844d39766cc8eaaf7dd355753e");
    const auto prk =
        hkdfExtract(fromHex("2616256a984d955664b371ce7fb911c274b439974a467f37f038b32ba15727c7"),
                    shared->view());
    const auto expand = [&](std::string_view label, std::size_t length) {
        const auto output = hkdfExpand(prk->view(), asBytes(label), length);
        return Bytes(output->data(), output->data() + output->size());
    };
    EXPECT_EQ(toHex(expand("quillory 9 mac to pad iv", 12)), "95bbb634a5fc5e86e3c80f85");
    EXPECT_EQ(toHex(chacha20Poly1305Seal(
                  expand("quillory 9 pad to mac key", 32), expand("quillory 9 pad to mac iv", 12),
                  asBytes(R"({"kind":"unknown","counter":0})"), asBytes("QUILLORY-SEALED-9"))),
              "e91f5960ec4bd306d668b321613e0399d25d1da6b8a21a156aaf39e346a2a614"
              "fcb2d9011806b9b27fb41b3e3655");
}

}  // namespace
}  // namespace quillory::crypto
