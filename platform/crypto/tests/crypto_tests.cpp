#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/crypto.h"

namespace quillory::crypto {
namespace {

Bytes fromHex(std::string_view hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

std::string toHex(ByteView bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xf];
    }
    return hex;
}

Bytes range(std::uint8_t first, std::uint8_t last) {
    Bytes bytes;
    for (unsigned value = first; value <= last; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

TEST(Sha256, MatchesFipsVector) {
    EXPECT_EQ(toHex(sha256(asBytes("abc"))),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(toHex(sha256({})),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(RandomBytes, FillsRequestedLengthWithFreshValues) {
    EXPECT_TRUE(randomBytes(0).empty());
    const Bytes first = randomBytes(32);
    ASSERT_EQ(first.size(), 32u);
    EXPECT_NE(first, randomBytes(32));
}

TEST(SecretBytes, ComparesByContentAndEmptiesWhenMovedFrom) {
    SecretBytes secret(fromHex("00112233"));
    EXPECT_EQ(secret, SecretBytes(fromHex("00112233")));
    EXPECT_FALSE(secret == SecretBytes(fromHex("00112234")));
    EXPECT_FALSE(secret == SecretBytes(fromHex("001122")));
    SecretBytes moved = std::move(secret);
    EXPECT_EQ(toHex(moved.view()), "00112233");
    EXPECT_TRUE(secret.empty());
    SecretBytes copy;
    copy = moved;
    EXPECT_EQ(copy, moved);
}

struct HkdfCase {
    Bytes ikm, salt, info;
    std::size_t length;
    const char* prk;
    const char* okm;
};

// RFC 5869 appendix A, cases 1 to 3.
TEST(Hkdf, MatchesRfc5869Vectors) {
    const HkdfCase cases[] = {
        {Bytes(22, 0x0b), range(0x00, 0x0c), range(0xf0, 0xf9), 42,
         "077709362c2e32df0ddc3f0dc47bba6390b6c73bb50f9c3122ec844ad7c2b3e5",
         "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865"},
        {range(0x00, 0x4f), range(0x60, 0xaf), range(0xb0, 0xff), 82,
         "06a6b88c5853361a06104c9ceb35b45cef760014904671014a193f40c15fc244",
         "b11e398dc80327a1c8e7f78c596a49344f012eda2d4efad8a050cc4c19afa97c59045a99cac7827271cb41c65"
         "e"
         "590e09da3275600c2f09b8367793a9aca3db71cc30c58179ec3e87c14c01d5c1f3434f1d87"},
        {Bytes(22, 0x0b),
         {},
         {},
         42,
         "19ef24a32c717b167f33a91d6f648bdf96596776afdb6377ac434c1c293ccb04",
         "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8"},
    };
    for (const HkdfCase& c : cases) {
        const auto prk = hkdfExtract(c.salt, c.ikm);
        ASSERT_TRUE(prk);
        EXPECT_EQ(toHex(prk->view()), c.prk);
        const auto expanded = hkdfExpand(prk->view(), c.info, c.length);
        ASSERT_TRUE(expanded);
        EXPECT_EQ(toHex(expanded->view()), c.okm);
        const auto oneShot = hkdfSha256(c.ikm, c.salt, c.info, c.length);
        ASSERT_TRUE(oneShot);
        EXPECT_EQ(toHex(oneShot->view()), c.okm);
    }
}

TEST(Hkdf, RefusesLengthsOutsideTheRfcRange) {
    const Bytes prk(32, 0x42);
    EXPECT_FALSE(hkdfExpand(prk, {}, 0));
    EXPECT_TRUE(hkdfExpand(prk, {}, 255 * 32));
    EXPECT_FALSE(hkdfExpand(prk, {}, 255 * 32 + 1));
    EXPECT_FALSE(hkdfExpand(Bytes(16, 0x42), {}, 32));
}

struct SignatureCase {
    const char* seed;
    const char* publicKey;
    const char* message;
    const char* signature;
};

// RFC 8032 section 7.1, tests 1 to 3.
TEST(Ed25519, MatchesRfc8032Vectors) {
    const SignatureCase cases[] = {
        {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
         "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
         "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701"
         "c"
         "f9b46bd25bf5f0595bbe24655141438e7a100b"},
        {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
         "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
         "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d"
         "0"
         "f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
        {"c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
         "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
         "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f7609"
         "8"
         "4dc6594a7c15e9716ed28dc027beceea1ec40a"},
    };
    for (const SignatureCase& c : cases) {
        const auto key = Ed25519SigningKey::fromSeed(fromHex(c.seed));
        ASSERT_TRUE(key);
        EXPECT_EQ(toHex(key->publicKey()), c.publicKey);
        const Bytes message = fromHex(c.message);
        const Signature signature = key->sign(message);
        EXPECT_EQ(toHex(signature), c.signature);
        EXPECT_TRUE(ed25519Verify(key->publicKey(), message, signature));
    }
}

TEST(Ed25519, RejectsAlteredMessageSignatureOrKey) {
    const Ed25519SigningKey key = Ed25519SigningKey::generate();
    const Ed25519SigningKey other = Ed25519SigningKey::generate();
    EXPECT_NE(key.publicKey(), other.publicKey());
    const Bytes message = fromHex("0102030405");
    const Signature signature = key.sign(message);
    ASSERT_TRUE(ed25519Verify(key.publicKey(), message, signature));

    Bytes alteredMessage = message;
    alteredMessage[0] ^= 1;
    EXPECT_FALSE(ed25519Verify(key.publicKey(), alteredMessage, signature));
    Signature alteredSignature = signature;
    alteredSignature[63] ^= 0x40;
    EXPECT_FALSE(ed25519Verify(key.publicKey(), message, alteredSignature));
    EXPECT_FALSE(ed25519Verify(other.publicKey(), message, signature));
    EXPECT_FALSE(ed25519Verify(ByteView(key.publicKey()).first(31), message, signature));
    EXPECT_FALSE(ed25519Verify(key.publicKey(), message, ByteView(signature).first(63)));
    EXPECT_FALSE(Ed25519SigningKey::fromSeed(Bytes(31, 1)));

    const auto reloaded = Ed25519SigningKey::fromSeed(key.seed().view());
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->publicKey(), key.publicKey());
}

// RFC 7748 section 5.2: scalar multiplication of arbitrary points, and the iterated form.
TEST(X25519, MatchesRfc7748FunctionVectors) {
    const char* cases[][3] = {
        {"a546e36bf0527c9d3b16154b82465edd62144c0ac1fc5a18506a2244ba449ac4",
         "e6db6867583030db3594c1a424b15f7c726624ec26b3353b10a903a6d0ab1c4c",
         "c3da55379de9c6908e94ea4df28d084f32eccf03491c71f754b4075577a28552"},
        {"4b66e9d4d1b4673c5ad22691957d6af5c11b6421e0ea01d42ca4169e7918ba0d",
         "e5210f12786811d3f4b7959d0538ae2c31dbe7106fc03c3efc4cd549c715a493",
         "95cbde9476e8907d7aade45cb4b873f88b595a68799fa152e6f8f7647aac7957"},
    };
    for (const auto& c : cases) {
        const auto key = X25519PrivateKey::fromRaw(fromHex(c[0]));
        ASSERT_TRUE(key);
        const auto shared = key->sharedSecret(fromHex(c[1]));
        ASSERT_TRUE(shared);
        EXPECT_EQ(toHex(shared->view()), c[2]);
    }

    Bytes k = fromHex("0900000000000000000000000000000000000000000000000000000000000000");
    Bytes u = k;
    for (int iteration = 1; iteration <= 1000; ++iteration) {
        const auto shared = X25519PrivateKey::fromRaw(k)->sharedSecret(u);
        ASSERT_TRUE(shared);
        u = k;
        k.assign(shared->data(), shared->data() + shared->size());
        if (iteration == 1) {
            EXPECT_EQ(toHex(k), "422c8e7a6227d7bca1350b3e2bb7279f7897b87bb6854b783c60e80311ae3079");
        }
    }
    EXPECT_EQ(toHex(k), "684cf59ba83309552800ef566f2f4d3c1c3887c49360e3875f2eb94d99532c51");
}

// RFC 7748 section 6.1.
TEST(X25519, AgreesOnRfc7748DiffieHellmanVector) {
    const auto alice = X25519PrivateKey::fromRaw(
        fromHex("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a"));
    const auto bob = X25519PrivateKey::fromRaw(
        fromHex("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb"));
    ASSERT_TRUE(alice && bob);
    EXPECT_EQ(toHex(alice->publicKey()),
              "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a");
    EXPECT_EQ(toHex(bob->publicKey()),
              "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f");
    const auto aliceShared = alice->sharedSecret(bob->publicKey());
    const auto bobShared = bob->sharedSecret(alice->publicKey());
    ASSERT_TRUE(aliceShared && bobShared);
    EXPECT_EQ(*aliceShared, *bobShared);
    EXPECT_EQ(toHex(aliceShared->view()),
              "4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742");
}

TEST(X25519, RefusesLowOrderPointsAndMalformedKeys) {
    const X25519PrivateKey key = X25519PrivateKey::generate();
    // u = 0 and u = 1 have small order: every scalar maps them to zero.
    EXPECT_FALSE(key.sharedSecret(Bytes(32, 0)));
    Bytes one(32, 0);
    one[0] = 1;
    EXPECT_FALSE(key.sharedSecret(one));
    EXPECT_FALSE(key.sharedSecret(Bytes(31, 9)));
    EXPECT_FALSE(X25519PrivateKey::fromRaw(Bytes(33, 1)));
}

// RFC 8439 section 2.8.2.
constexpr std::string_view kSunscreen =
    "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the future, "
    "sunscreen would be it.";
constexpr std::string_view kSunscreenSealed =
    "d31a8d34648e60db7b86afbc53ef7ec2a4aded51296e08fea9e2b5a736ee62d63dbea45e8ca9671282fafb69da9272"
    "8b1a71de0a9e060b2905d6a5b67ecd3b3692ddbd7f2d778b8c9803aee328091b58fab324e4fad675945585808b4831"
    "d7bc3ff4def08e4b7a9de576d26586cec64b6116"
    "1ae10b594f09e26a7e902ecbd0600691";

class ChaChaPoly : public ::testing::Test {
  protected:
    const Bytes key = range(0x80, 0x9f);
    const Bytes nonce = fromHex("070000004041424344454647");
    const Bytes aad = fromHex("50515253c0c1c2c3c4c5c6c7");
};

TEST_F(ChaChaPoly, MatchesRfc8439AeadVector) {
    const Bytes sealed = chacha20Poly1305Seal(key, nonce, asBytes(kSunscreen), aad);
    EXPECT_EQ(toHex(sealed), kSunscreenSealed);
    const auto opened = chacha20Poly1305Open(key, nonce, sealed, aad);
    ASSERT_TRUE(opened);
    EXPECT_EQ(std::string(opened->begin(), opened->end()), kSunscreen);
}

TEST_F(ChaChaPoly, RejectsAnyTampering) {
    const Bytes sealed = fromHex(kSunscreenSealed);
    const std::size_t positions[] = {0, sealed.size() / 2, sealed.size() - kChaChaTagSize,
                                     sealed.size() - 1};
    for (const std::size_t position : positions) {
        Bytes altered = sealed;
        altered[position] ^= 0x01;
        EXPECT_FALSE(chacha20Poly1305Open(key, nonce, altered, aad)) << "byte " << position;
    }
    Bytes alteredAad = aad;
    alteredAad.back() ^= 0x80;
    EXPECT_FALSE(chacha20Poly1305Open(key, nonce, sealed, alteredAad));
    EXPECT_FALSE(chacha20Poly1305Open(key, nonce, sealed, {}));
    Bytes alteredNonce = nonce;
    alteredNonce[11] ^= 0x01;
    EXPECT_FALSE(chacha20Poly1305Open(key, alteredNonce, sealed, aad));
    Bytes alteredKey = key;
    alteredKey[0] ^= 0x01;
    EXPECT_FALSE(chacha20Poly1305Open(alteredKey, nonce, sealed, aad));
    EXPECT_FALSE(chacha20Poly1305Open(key, nonce, ByteView(sealed).first(sealed.size() - 1), aad));
    EXPECT_FALSE(chacha20Poly1305Open(key, nonce, ByteView(sealed).first(kChaChaTagSize - 1), aad));
    EXPECT_FALSE(chacha20Poly1305Open(ByteView(key).first(31), nonce, sealed, aad));
}

TEST_F(ChaChaPoly, SealsEmptyPlaintextAsTagAlone) {
    const Bytes sealed = chacha20Poly1305Seal(key, nonce, {}, {});
    ASSERT_EQ(sealed.size(), kChaChaTagSize);
    const auto opened = chacha20Poly1305Open(key, nonce, sealed, {});
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->empty());
}

// The channel's key schedule put together from these primitives: shared secret, HKDF-Extract
// salted with the transcript hash, labelled expansion, and the first sealed record (IV XOR 0).
TEST(KeySchedule, ReproducesTheLinkTestVector) {
    const auto macIdentity = Ed25519SigningKey::fromSeed(Bytes(32, 0x01));
    const auto padIdentity = Ed25519SigningKey::fromSeed(Bytes(32, 0x02));
    EXPECT_EQ(toHex(macIdentity->publicKey()),
              "8a88e3dd7409f195fd52db2d3cba5d72ca6709bf1d94121bf3748801b40f6f5c");
    EXPECT_EQ(toHex(padIdentity->publicKey()),
              "8139770ea87d175f56a35466c34c7ecccb8d8a91b4ee37a25df60f5b8fc9b394");

    const auto macEphemeral = X25519PrivateKey::fromRaw(Bytes(32, 0x11));
    const auto padEphemeral = X25519PrivateKey::fromRaw(Bytes(32, 0x12));
    EXPECT_EQ(toHex(padEphemeral->publicKey()),
              "052a50773ac8d91773f2dc9662e12f0defe915e415b8a1c8e20a5a3d6ab2b843");
    const auto shared = macEphemeral->sharedSecret(padEphemeral->publicKey());
    ASSERT_TRUE(shared);
    EXPECT_EQ(toHex(shared->view()),
              "0a8b7643c0576a2cf7023b77d98843922eabbc844d39766cc8eaaf7dd355753e");

    const Bytes transcript =
        fromHex("2616256a984d955664b371ce7fb911c274b439974a467f37f038b32ba15727c7");
    const auto prk = hkdfExtract(transcript, shared->view());
    ASSERT_TRUE(prk);
    const auto expand = [&](std::string_view label, std::size_t length) {
        return toHex(hkdfExpand(prk->view(), asBytes(label), length)->view());
    };
    EXPECT_EQ(expand("quillory 9 mac to pad key", 32),
              "d3be9ed7757366e0ab9d1b4928e03b09f5ef0e4e146deec329c7254d251fa57f");
    EXPECT_EQ(expand("quillory 9 mac to pad iv", 12), "95bbb634a5fc5e86e3c80f85");
    EXPECT_EQ(expand("quillory 9 pad to mac iv", 12), "f67ce0f5a31324eae2a96217");
    EXPECT_EQ(expand("quillory 9 verification code", 8).size(), 16u);

    const Bytes padKey = fromHex(expand("quillory 9 pad to mac key", 32));
    EXPECT_EQ(toHex(padKey), "9b6a8f1ad7fbc81d7d5a61473a291c2e63d2ed0da0825742a42ea0c251354ba8");
    const Bytes sealed = chacha20Poly1305Seal(padKey, fromHex("f67ce0f5a31324eae2a96217"),
                                              asBytes(R"({"kind":"unknown","counter":0})"),
                                              asBytes("QUILLORY-SEALED-9"));
    EXPECT_EQ(
        toHex(sealed),
        "e91f5960ec4bd306d668b321613e0399d25d1da6b8a21a156aaf39e346a2a614fcb2d9011806b9b27fb41b3e"
        "3655");
}

}  // namespace
}  // namespace quillory::crypto
